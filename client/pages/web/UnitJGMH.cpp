#include "UnitJGMH.h"

#include "UnitGlouble.h"

TFormJGMH::TFormJGMH(QWidget *hostPanel) : WebPage(Traits{})
{
    FormCreate();
    embedInto(hostPanel);
}

void TFormJGMH::FormCreate()
{
    startLoadingIndicator();
    Navigate(UnitGlouble.StockProfileUrl);
}
