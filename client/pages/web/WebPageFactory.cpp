#include "WebPageFactory.h"

#include "UnitBKZJ.h"
#include "UnitGGPC.h"
#include "UnitJGMH.h"
#include "UnitPCGG.h"
#include "UnitWYSMNC.h"
#include "UnitXWZX.h"
#include "UnitYJBG.h"

Tmain *WebPageFactory::createWebPage(PageKind kind, QWidget *hostPanel)
{
    using Kind = PageKind;
    switch (kind) {
    case Kind::Insider:
        return new TFormWYSMNC(hostPanel);
    case Kind::News:
        return new TFormXWZX(hostPanel);
    case Kind::Quotes:
        return new TFormPCGG(hostPanel);
    case Kind::Valuation:
        return new TFormGGPC(hostPanel);
    case Kind::StockProfile:
        return new TFormJGMH(hostPanel);
    case Kind::MarketFunds:
        return new TFormBKZJ(hostPanel);
    case Kind::Research:
        return new TFormYJBG(hostPanel);
    case Kind::AlertList:
        break;
    }
    return nullptr;
}
