#pragma once

#include "WebPage.h"

// The real-time quotes page (实时行情) at the configured address QuotesUrl: the one web page that
// leaves the browser's context menu to the user.
class TFormPCGG : public WebPage
{
    Q_OBJECT

public:
    explicit TFormPCGG(QWidget *hostPanel);

public slots:
    void FormCreate();
};
