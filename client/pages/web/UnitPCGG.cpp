#include "UnitPCGG.h"

#include "UnitGlouble.h"

TFormPCGG::TFormPCGG(QWidget *hostPanel) : WebPage(Traits{.contextClickFilter = false})
{
    FormCreate();
    embedInto(hostPanel);
}

void TFormPCGG::FormCreate()
{
    startLoadingIndicator();
    Navigate(UnitGlouble.QuotesUrl);
}
