#include "PageRegistry.h"

#include "UnitMain.h"
#include "UnitSMNC.h"
#include "UnitXTSZ.h"

#include <QApplication>

namespace {

template <typename Page> TFrmMain::PageFactory pageOf()
{
    return [](QWidget *hostPanel) -> Tmain * { return new Page(hostPanel); };
}

} // namespace

void registerPages()
{
    TFrmMain::setPageFactory(TFrmMain::PageKind::AlertList, pageOf<TFormSMNC>());
    TFrmMain::setSettingsWindow([] {
        TFormXTSZ settings(QApplication::activeWindow());
        settings.exec();
    });
}
