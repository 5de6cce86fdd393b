#pragma once

#include "WebPage.h"

// The research report page (研究报告) at the configured address ResearchUrl. Its view and loading
// panel sit on the page itself, with no panel between.
class TFormYJBG : public WebPage
{
    Q_OBJECT

public:
    explicit TFormYJBG(QWidget *hostPanel);

public slots:
    void FormCreate();
};
