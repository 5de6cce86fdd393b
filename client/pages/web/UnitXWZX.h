#pragma once

#include "WebPage.h"

class QToolButton;

// The news page (新闻资讯) at the configured address NewsUrl, with a toolbar for home, forward and
// back. A link that asks for a new window opens in this view, at the link the pointer last
// rested on.
class TFormXWZX : public WebPage
{
    Q_OBJECT

public:
    explicit TFormXWZX(QWidget *hostPanel);

    // The last status text of every news page of this run: a new page starts with the one its
    // predecessor stored last.
    static QString LastStatusText;

    QToolButton *SpeedButton1 = nullptr; // 主页
    QToolButton *SpeedButton2 = nullptr; // 前进
    QToolButton *SpeedButton3 = nullptr; // 后退

public slots:
    void FormCreate();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
};
