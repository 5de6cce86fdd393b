#include "PageRegistry.h"

#include "SignedInAccount.h"
#include "UnitMain.h"
#include "UnitSMNC.h"
#include "UnitXTSZ.h"
#include "WebPagesLibrary.h"

#include <QApplication>

namespace {

template <typename Page> TFrmMain::PageFactory pageOf()
{
    return [](QWidget *hostPanel) -> Tmain * { return new Page(hostPanel); };
}

TFrmMain::PageFactory webPageOf(TFrmMain::PageKind kind)
{
    return [kind](QWidget *hostPanel) { return WebPagesLibrary::create(kind, hostPanel); };
}

} // namespace

void registerPages()
{
    using Kind = TFrmMain::PageKind;
    TFrmMain::setPageFactory(Kind::AlertList, pageOf<TFormSMNC>());
    TFrmMain::setPageFactory(Kind::Insider, webPageOf(Kind::Insider));
    TFrmMain::setPageFactory(Kind::News, webPageOf(Kind::News));
    TFrmMain::setPageFactory(Kind::Quotes, webPageOf(Kind::Quotes));
    TFrmMain::setPageFactory(Kind::Valuation, webPageOf(Kind::Valuation));
    TFrmMain::setPageFactory(Kind::StockProfile, webPageOf(Kind::StockProfile));
    TFrmMain::setPageFactory(Kind::MarketFunds, webPageOf(Kind::MarketFunds));
    TFrmMain::setPageFactory(Kind::Research, webPageOf(Kind::Research));
    TFormXTSZ::setNewPasswordTaken(&SignedInAccount::takeNewPassword);
    TFrmMain::setSettingsWindow([] {
        TFormXTSZ settings(QApplication::activeWindow());
        settings.exec();
    });
}
