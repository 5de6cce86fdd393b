#include "UnitGGPC.h"

#include "UnitGlouble.h"

TFormGGPC::TFormGGPC(QWidget *hostPanel) : WebPage(Traits{})
{
    FormCreate();
    embedInto(hostPanel);
}

void TFormGGPC::FormCreate()
{
    startLoadingIndicator();
    Navigate(UnitGlouble.ValuationUrl);
}
