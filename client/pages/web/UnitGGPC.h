#pragma once

#include "WebPage.h"

// The value assessment page (价值评估) at the configured address ValuationUrl.
class TFormGGPC : public WebPage
{
    Q_OBJECT

public:
    explicit TFormGGPC(QWidget *hostPanel);

public slots:
    void FormCreate();
};
