#include "UnitXWZX.h"

#include "UnitGlouble.h"

#include <QLabel>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>

QString TFormXWZX::LastStatusText;

namespace {

constexpr int ToolbarHeight = 29;

QToolButton *toolbarButton(const QString &caption, QWidget *toolbar, int left)
{
    auto *button = new QToolButton(toolbar);
    button->setText(caption);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(left, (ToolbarHeight - 22) / 2, 49, 22);
    button->setStyleSheet(
        QStringLiteral("QToolButton { color: white; border: none; background: transparent; }"
                       "QToolButton:hover { background: rgba(255, 255, 255, 40); }"
                       "QToolButton:pressed { background: rgba(0, 0, 0, 50); }"));
    return button;
}

} // namespace

TFormXWZX::TFormXWZX(QWidget *hostPanel)
    : WebPage(Traits{.hidesPanelOn = Completion::DownloadComplete,
                     .newWindows = NewWindows::OpenInPlaceAtStatusText,
                     .lastStatusText = &LastStatusText,
                     .loadingPanelIsPanel3 = true})
{
    auto *toolbar = new QLabel(this);
    toolbar->setObjectName(QStringLiteral("Panel1"));
    toolbar->setFixedHeight(ToolbarHeight);
    toolbar->setPixmap(QPixmap(QStringLiteral(":/pages/news-toolbar.png")));
    toolbar->setScaledContents(true);
    Panel1 = toolbar;
    pageLayout()->insertWidget(0, Panel1);

    SpeedButton1 = toolbarButton(QStringLiteral("主页"), Panel1, 64);
    SpeedButton2 = toolbarButton(QStringLiteral("前进"), Panel1, 156);
    SpeedButton3 = toolbarButton(QStringLiteral("后退"), Panel1, 240);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFormXWZX::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFormXWZX::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TFormXWZX::SpeedButton3Click);

    FormCreate();
    embedInto(hostPanel);
}

void TFormXWZX::FormCreate()
{
    startLoadingIndicator();
    Navigate(UnitGlouble.NewsUrl);
}

void TFormXWZX::SpeedButton1Click()
{
    Navigate(UnitGlouble.NewsUrl);
}

// The view does nothing when the history has no entry in that direction.
void TFormXWZX::SpeedButton2Click()
{
    WebBrowser1->forward();
}

void TFormXWZX::SpeedButton3Click()
{
    WebBrowser1->back();
}
