#pragma once

#include "WebPage.h"

// The stock profile page (个股档案) at the configured address StockProfileUrl.
class TFormJGMH : public WebPage
{
    Q_OBJECT

public:
    explicit TFormJGMH(QWidget *hostPanel);

public slots:
    void FormCreate();
};
