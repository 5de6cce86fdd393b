#include "UnitYJBG.h"

#include "UnitGlouble.h"

TFormYJBG::TFormYJBG(QWidget *hostPanel) : WebPage(Traits{.viewInPanel2 = false})
{
    FormCreate();
    embedInto(hostPanel);
}

void TFormYJBG::FormCreate()
{
    startLoadingIndicator();
    Navigate(UnitGlouble.ResearchUrl);
}
