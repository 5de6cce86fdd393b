#include "UnitBKZJ.h"

#include "UnitGlouble.h"

TFormBKZJ::TFormBKZJ(QWidget *hostPanel) : WebPage(Traits{})
{
    FormCreate();
    embedInto(hostPanel);
}

void TFormBKZJ::FormCreate()
{
    startLoadingIndicator();
    Navigate(UnitGlouble.MarketFundsUrl);
}
