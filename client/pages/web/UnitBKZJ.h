#pragma once

#include "WebPage.h"

// The market money flow page (大盘资金) at the configured address MarketFundsUrl.
class TFormBKZJ : public WebPage
{
    Q_OBJECT

public:
    explicit TFormBKZJ(QWidget *hostPanel);

public slots:
    void FormCreate();
};
