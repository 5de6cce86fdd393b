#include "PageRegistry.h"

#include "UnitBKZJ.h"
#include "UnitGGPC.h"
#include "UnitJGMH.h"
#include "UnitMain.h"
#include "UnitPCGG.h"
#include "UnitSMNC.h"
#include "UnitWYSMNC.h"
#include "UnitXTSZ.h"
#include "UnitXWZX.h"
#include "UnitYJBG.h"

#include <QApplication>

namespace {

template <typename Page> TFrmMain::PageFactory pageOf()
{
    return [](QWidget *hostPanel) -> Tmain * { return new Page(hostPanel); };
}

} // namespace

void registerPages()
{
    using Kind = TFrmMain::PageKind;
    TFrmMain::setPageFactory(Kind::AlertList, pageOf<TFormSMNC>());
    TFrmMain::setPageFactory(Kind::Insider, pageOf<TFormWYSMNC>());
    TFrmMain::setPageFactory(Kind::News, pageOf<TFormXWZX>());
    TFrmMain::setPageFactory(Kind::Quotes, pageOf<TFormPCGG>());
    TFrmMain::setPageFactory(Kind::Valuation, pageOf<TFormGGPC>());
    TFrmMain::setPageFactory(Kind::StockProfile, pageOf<TFormJGMH>());
    TFrmMain::setPageFactory(Kind::MarketFunds, pageOf<TFormBKZJ>());
    TFrmMain::setPageFactory(Kind::Research, pageOf<TFormYJBG>());
    TFrmMain::setSettingsWindow([] {
        TFormXTSZ settings(QApplication::activeWindow());
        settings.exec();
    });
}
