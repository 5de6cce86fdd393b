#include "UnitMain.h"

#include "AlertListFills.h"
#include "AlertSound.h"
#include "BusyCursor.h"
#include "ChangeCounters.h"
#include "DefaultErrorReport.h"
#include "DesktopNotifications.h"
#include "MarqueeStatus.h"
#include "MessageBoxes.h"
#include "PopUpPresets.h"
#include "RefreshablePage.h"
#include "ReminderSettings.h"
#include "ResultDocument.h"
#include "ServiceClient.h"
#include "ShellOpen.h"
#include "SqlText.h"
#include "TPopUpNotifier.h"
#include "TextConversions.h"
#include "Unit3.h"
#include "UnitGlouble.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <array>
#include <exception>

// The main window's resources are compiled into this shared library, which registers them when
// it is loaded; asking for them by name as well (from the global namespace, where the macro
// declares the function it calls) keeps the window right however the library is linked.
static void initMainResources()
{
    Q_INIT_RESOURCE(monitor);
}

namespace {

std::map<TFrmMain::PageKind, TFrmMain::PageFactory> &pageFactories()
{
    static std::map<TFrmMain::PageKind, TFrmMain::PageFactory> factories;
    return factories;
}

std::function<void()> &settingsWindow()
{
    static std::function<void()> show;
    return show;
}

constexpr int PanelLeft = 202;
constexpr int PanelTop = 99;

QLabel *whiteLabel(QWidget *parent, const QString &text, int x, int y, int width = -1)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(QStringLiteral("headerLabel"));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->adjustSize();
    label->move(x, y);
    if (width > 0)
        label->resize(width, label->height());
    return label;
}

// The period in milliseconds, or nothing when the timer would never fire (a period of 0).
std::optional<int> pollPeriodMs(qint32 seconds)
{
    if (seconds <= 0)
        return std::nullopt;
    return static_cast<int>(std::min<qint64>(qint64(seconds) * 1000, std::numeric_limits<int>::max()));
}

// Reads the eight counters of ChangeCounters in their order and stores each as last seen; a
// counter that is not an integer stops there, the ones before stay stored.
void storeCountersAsSeen()
{
    GlobalState &g = UnitGlouble;
    qint32 *const lastSeen[] = {&g.LastStockAdded,     &g.LastStockChanged,   &g.LastInsiderAdded,
                                &g.LastInsiderChanged, &g.LastSecretAdded,    &g.LastSecretChanged,
                                &g.LastLiveNewsAdded,  &g.LastLiveNewsChanged};
    for (int i = 0; i < PollTick::CounterCount; ++i)
        *lastSeen[i] = ChangeCounters::counter(QLatin1String(PollTick::CounterNames[i]));
}

// "弹出时间：" and the other parts of a toast text, joined by carriage returns.
QString toastText(std::initializer_list<QString> parts)
{
    QStringList lines(parts);
    return lines.join(QChar(13));
}

// The time of a row as the toasts show it: trimmed, cut to 19 characters, "T" as a blank,
// trimmed again.
QString displayTime(const QString &nowtime)
{
    return TextConversions::trim(TextConversions::dateTimeCut(TextConversions::trim(nowtime)));
}

} // namespace

void TFrmMain::setPageFactory(PageKind kind, PageFactory factory)
{
    pageFactories()[kind] = std::move(factory);
}

void TFrmMain::setSettingsWindow(std::function<void()> showModally)
{
    settingsWindow() = std::move(showModally);
}

TFrmMain::TFrmMain(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    initMainResources();
    setObjectName(QStringLiteral("TFrmMain"));
    setFixedSize(1009, 677);
    QFile skin(QStringLiteral(":/main/skin.qss"));
    if (skin.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(skin.readAll()));
    createControls();
    createPageCommands();
    createTray();
    createMuteEntry();

    Timer1 = new QTimer(this);
    Timer1->setInterval(15000);
    connect(Timer1, &QTimer::timeout, this, &TFrmMain::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setInterval(15000);
    connect(Timer2, &QTimer::timeout, this, &TFrmMain::Timer2Timer);
    connect(&m_tickWatcher, &QFutureWatcher<PollTick::Fetched>::finished, this, &TFrmMain::applyTick);
    connect(&m_loginCheckWatcher, &QFutureWatcher<LoginCheck>::finished, this, &TFrmMain::applyLoginCheck);

    // Toasts have no owner window: a minimised or hidden main window must not take them along.
    PopUpNotifier1 = new TPopUpNotifier(nullptr);
    applyMainWindowPreset(*PopUpNotifier1);
    connect(PopUpNotifier1, &TPopUpNotifier::OnClick, this, &TFrmMain::PopUpNotifier1Click);
    m_desktopNotifications = new DesktopNotifications(this);
    connect(m_desktopNotifications, &DesktopNotifications::clicked, this, &TFrmMain::PopUpNotifier1Click);

    // A desktop session that ends may not let the program reach its normal end.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TFrmMain::FormDestroy);

    // Placed at once, so that the login window can centre itself over this area while the
    // main window is still hidden.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TFrmMain::~TFrmMain()
{
    Timer1->stop();
    Timer2->stop();
    // A fetch still waiting for the service finishes on its own; its result is dropped.
    m_tickWatcher.disconnect(this);
    m_loginCheckWatcher.disconnect(this);
    m_tickWatcher.waitForFinished();
    m_loginCheckWatcher.waitForFinished();
    delete CurrentPage;
    CurrentPage = nullptr;
    FormDestroy();
    PopUpNotifier1->ClosePopUps();
    delete PopUpNotifier1;
}

void TFrmMain::createControls()
{
    Image4 = new QLabel(this);
    Image4->setPixmap(QPixmap(QStringLiteral(":/main/main-background.png")));
    Image4->setGeometry(0, 0, 1009, 677);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("captionButton"));
    SpeedButton1->setText(QStringLiteral("—"));
    SpeedButton1->setToolTip(QStringLiteral("最小化"));
    SpeedButton1->setGeometry(947, 1, 28, 26);
    SpeedButton2 = new QToolButton(this);
    SpeedButton2->setObjectName(QStringLiteral("captionButton"));
    SpeedButton2->setText(QStringLiteral("✕"));
    SpeedButton2->setToolTip(QStringLiteral("关闭系统"));
    SpeedButton2->setGeometry(976, 1, 28, 26);
    for (QToolButton *button : {SpeedButton1, SpeedButton2}) {
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
    }
    connect(SpeedButton1, &QToolButton::clicked, this, &TFrmMain::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFrmMain::SpeedButton2Click);

    Label5 = whiteLabel(this, QStringLiteral("用户名："), 658, 32);
    Label8 = whiteLabel(this, QStringLiteral("用户名："), 710, 32, 91);
    Label6 = whiteLabel(this, QStringLiteral("用户等级："), 790, 32);
    Label9 = whiteLabel(this, QStringLiteral("用户名："), 857, 33, 93);
    Label7 = whiteLabel(this, QStringLiteral("到期时间："), 790, 64);
    Label10 = whiteLabel(this, QStringLiteral("用户名："), 854, 64, 79);

    SpeedButton7 = new QToolButton(this);
    SpeedButton7->setObjectName(QStringLiteral("settingsButton"));
    SpeedButton7->setText(QStringLiteral("系统设置"));
    SpeedButton7->setAutoRaise(true);
    SpeedButton7->setGeometry(648, 60, 73, 22);
    connect(SpeedButton7, &QToolButton::clicked, this, &TFrmMain::SpeedButton7Click);

    Panel8 = new QWidget(this);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    Panel8->setGeometry(PanelLeft, PanelTop, 801, 547);

    MarqueeStatus1 = new MarqueeStatus(this);
    MarqueeStatus1->setGeometry(4, 652, 999, 22);
}

QToolButton *TFrmMain::pageButton(int top)
{
    auto *button = new QToolButton(this);
    button->setObjectName(QStringLiteral("pageButton"));
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(14, top, 172, 43);
    return button;
}

void TFrmMain::createPageCommands()
{
    SpeedButton3 = pageButton(126);
    SpeedButton3->setText(QStringLiteral("股池预警"));
    SpeedButton4 = pageButton(188);
    SpeedButton5 = pageButton(251);
    SpeedButton6 = pageButton(316);
    SpeedButton8 = pageButton(380);
    SpeedButton10 = pageButton(444);
    SpeedButton11 = pageButton(509);
    SpeedButton12 = pageButton(573);

    const std::array<std::pair<QToolButton *, PageKind>, 8> buttons = {{
        {SpeedButton3, PageKind::AlertList},
        {SpeedButton4, PageKind::Insider},
        {SpeedButton5, PageKind::News},
        {SpeedButton6, PageKind::Quotes},
        {SpeedButton8, PageKind::Valuation},
        {SpeedButton10, PageKind::StockProfile},
        {SpeedButton11, PageKind::MarketFunds},
        {SpeedButton12, PageKind::Research},
    }};
    for (const auto &[button, kind] : buttons)
        connect(button, &QToolButton::clicked, this, [this, kind = kind] { OpenPage(kind); });
}

void TFrmMain::createTray()
{
    PopupMenu1 = new QMenu(this);
    const auto entry = [this](const QString &caption) { return PopupMenu1->addAction(caption); };
    N2 = entry(QStringLiteral("预警管理"));
    N4 = entry(QStringLiteral("私募内参"));
    N3 = entry(QStringLiteral("新闻资讯"));
    N7 = entry(QStringLiteral("实时行情"));
    N6 = entry(QStringLiteral("价值评估"));
    N8 = entry(QStringLiteral("个股档案"));
    N9 = entry(QStringLiteral("大盘资金"));
    N5 = entry(QStringLiteral("研究报告"));
    N10 = entry(QStringLiteral("系统主页"));
    N1 = entry(QStringLiteral("退出系统"));

    const std::array<std::pair<QAction *, PageKind>, 8> pages = {{
        {N2, PageKind::AlertList},
        {N4, PageKind::Insider},
        {N3, PageKind::News},
        {N7, PageKind::Quotes},
        {N6, PageKind::Valuation},
        {N8, PageKind::StockProfile},
        {N9, PageKind::MarketFunds},
        {N5, PageKind::Research},
    }};
    for (const auto &[action, kind] : pages) {
        connect(action, &QAction::triggered, this, [this, kind = kind] {
            OpenPage(kind);
            restoreApplication();
        });
    }
    connect(N10, &QAction::triggered, this, &TFrmMain::N10Click);
    connect(N1, &QAction::triggered, this, &TFrmMain::N1Click);

    m_onlineIcon = QIcon(QStringLiteral(":/main/tray.png"));
    // The same picture greyed out, as the desktop draws a disabled icon.
    const QSize iconSize = m_onlineIcon.availableSizes().value(0, QSize(32, 32));
    m_offlineIcon = QIcon(m_onlineIcon.pixmap(iconSize, QIcon::Disabled));
    TrayIcon1 = new QSystemTrayIcon(m_onlineIcon, this);
    TrayIcon1->setContextMenu(PopupMenu1);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            restoreApplication();
    });
}

void TFrmMain::createMuteEntry()
{
    MuteEntry = new QAction(QStringLiteral("静音"), PopupMenu1);
    MuteEntry->setCheckable(true);
    MuteEntry->setChecked(ReminderSettings::instance().muted());
    PopupMenu1->insertAction(N1, MuteEntry);
    connect(MuteEntry, &QAction::toggled, this,
            [](bool muted) { ReminderSettings::instance().setMuted(muted); });
    // The settings window changes it too; the entry follows.
    connect(&ReminderSettings::instance(), &ReminderSettings::changed, MuteEntry,
            [this] { MuteEntry->setChecked(ReminderSettings::instance().muted()); });
}

void TFrmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TFrmMain::setPageCaptions()
{
    const GlobalState &g = UnitGlouble;
    const std::array<std::tuple<QToolButton *, QAction *, QString>, 8> rows = {{
        {SpeedButton3, N2, g.AlertPageTitle},
        {SpeedButton4, N4, g.InsiderPageTitle},
        {SpeedButton5, N3, g.NewsTitle},
        {SpeedButton6, N7, g.QuotesTitle},
        {SpeedButton8, N6, g.ValuationTitle},
        {SpeedButton10, N8, g.StockProfileTitle},
        {SpeedButton11, N9, g.MarketFundsTitle},
        {SpeedButton12, N5, g.ResearchTitle},
    }};
    for (const auto &[button, action, title] : rows) {
        button->setText(title);
        action->setText(title);
    }
}

void TFrmMain::setUserLabels()
{
    Label8->setText(UnitGlouble.UserName);
    if (UnitGlouble.UserTiering) {
        if (UnitGlouble.UserLevel == QLatin1String("0"))
            Label9->setText(QStringLiteral("普通用户"));
        else if (UnitGlouble.UserLevel == QLatin1String("1"))
            Label9->setText(QStringLiteral("会员"));
        else if (UnitGlouble.UserLevel == QLatin1String("2"))
            Label9->setText(QStringLiteral("VIP"));
    } else {
        Label6->hide();
        Label9->hide();
    }
    Label10->setText(UnitGlouble.ExpiryDate);
}

// The show sequence: one guarded block, so a failing step skips the later ones silently.
void TFrmMain::FormShow()
{
    try {
        setPageCaptions();
        setWindowTitle(UnitGlouble.SystemName);
        TrayIcon1->setToolTip(UnitGlouble.SystemName);
        TrayIcon1->show();
        MarqueeStatus1->setText(UnitGlouble.SystemNotice);
        setUserLabels();
        startPolling();
        OpenPage(PageKind::AlertList);
        Timer2->start();
        if (UnitGlouble.StayOnTop) {
            setAttribute(Qt::WA_ShowWithoutActivating);
            setWindowFlag(Qt::WindowStaysOnTopHint);
            show(); // changing the flags hides the window; the position and size stay
        }
    } catch (const std::exception &) {
    }
}

void TFrmMain::startPolling()
{
    UnitGlouble.AlertListOpen = false;
    UnitGlouble.InsiderPageOpen = false;
    FetchChangeCounters();
    storeCountersAsSeen();
    m_polling = true;
    if (const auto period = pollPeriodMs(UnitGlouble.PollIntervalSeconds))
        Timer1->start(*period);
}

void TFrmMain::OpenPage(PageKind kind)
{
    delete CurrentPage; // its destruction clears its open flag
    CurrentPage = nullptr;
    const auto factory = pageFactories().find(kind);
    if (factory == pageFactories().end() || !factory->second)
        return;
    {
        const BusyCursor busy; // creating a page waits for the service
        CurrentPage = factory->second(Panel8);
    }
    // The page is a child of this window: the window's style sheet skins it too.
    CurrentPage->show();
}

// ---- Poll tick ------------------------------------------------------------------------------

void TFrmMain::Timer1Timer()
{
    // Ticks never overlap: one whose fetch still waits for the service lets this one pass.
    if (m_tickWatcher.isRunning())
        return;
    m_tickState = PollTick::State::current();
    m_tickWatcher.setFuture(QtConcurrent::run(&PollTick::fetch, UnitGlouble.UserLevel, m_tickState,
                                              PollTick::Queries::current()));
}

void TFrmMain::applyTick()
{
    const PollTick::Fetched fetched = m_tickWatcher.result();
    // A page opened or closed, or counters recorded, while the fetch waited: the dispatch the
    // fetch prepared for is not the one due now. Nothing is stored; the next tick starts afresh.
    const bool stillDue = fetched.counterText &&
                          (PollTick::State::current() == m_tickState ||
                           PollTick::plan(*fetched.counterText, PollTick::State::current()) == fetched.flows);
    if (stillDue) {
        try {
            ChangeCounters::store(*fetched.counterText);
            storeCountersAsSeen();
            for (size_t i = 0; i < fetched.flows.size(); ++i) {
                m_flowAnswers.assign(fetched.answers[i].begin(), fetched.answers[i].end());
                dispatch(fetched.flows[i]);
            }
        } catch (const std::exception &) {
            // A failing tick ends silently; what it did before stays done.
        }
    }
    m_flowAnswers.clear();
    noteTickReached(fetched.counterText.has_value());
    emit pollTickApplied();
}

void TFrmMain::dispatch(PollTick::Flow flow)
{
    using PollTick::Flow;
    switch (flow) {
    case Flow::hjgcanctdopen:
        return hjgcanctdopen();
    case Flow::hjgcXGanddopen:
        return hjgcXGanddopen();
    case Flow::hjgcADDclose:
        return hjgcADDclose();
    case Flow::spzxaddandopen:
        return spzxaddandopen();
    case Flow::spzxXGanddopen:
        return spzxXGanddopen();
    case Flow::spzxADDclose:
        return spzxADDclose();
    case Flow::InsiderAddedPageOpen:
        reloadInsiderPage();
        PlayAlertSound();
        return insiderToast();
    case Flow::InsiderChangedPageOpen:
        return reloadInsiderPage();
    case Flow::InsiderAddedPageClosed:
        PlayAlertSound();
        return insiderToast();
    case Flow::SecretAdded:
        PlayAlertSound();
        return secretToast();
    }
}

// The next answer the fetch step brought for the running flow; a call that failed fails here,
// where the flow would have made it.
QString TFrmMain::nextAnswer()
{
    if (m_flowAnswers.empty())
        throw std::runtime_error("The poll fetched no answer for this query");
    PollTick::Answer answer = std::move(m_flowAnswers.front());
    m_flowAnswers.pop_front();
    if (!answer.text)
        throw std::runtime_error(answer.error.toStdString());
    return *answer.text;
}

void TFrmMain::PlayAlertSound()
{
    if (!ReminderSettings::instance().muted())
        AlertSound::instance().play();
}

void TFrmMain::announce(const QString &text)
{
    if (ReminderSettings::instance().muted())
        return;
    if (announcesOnDesktop()) {
        m_desktopNotifications->show(PopUpNotifier1->Title(), text);
    } else {
        PopUpNotifier1->setText(text);
        PopUpNotifier1->ShowPopUp();
    }
    emit announced(text);
}

// Wayland does not let a client place a window, so a toast would land anywhere: there the
// desktop's notifications stand in whenever the desktop has them.
bool TFrmMain::announcesOnDesktop() const
{
    const bool chosen =
        ReminderSettings::instance().presentation() == ReminderSettings::Presentation::DesktopNotifications;
    const bool toastsCannotBePlaced = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return (chosen || toastsCannotBePlaced) && m_desktopNotifications->isAvailable();
}

// ---- Offline indicator ----------------------------------------------------------------------

// A tick "reached" the service when its counters came back. Failing ticks stay silent; only
// the tray tells that the client has been out of touch for a while.
void TFrmMain::noteTickReached(bool reached)
{
    m_failedTicks = reached ? 0 : m_failedTicks + 1;
    if (reached && m_showsOffline)
        showOffline(false);
    else if (m_failedTicks >= OfflineAfterFailedTicks && !m_showsOffline)
        showOffline(true);
}

void TFrmMain::showOffline(bool offline)
{
    m_showsOffline = offline;
    TrayIcon1->setIcon(offline ? m_offlineIcon : m_onlineIcon);
    TrayIcon1->setToolTip(offline ? UnitGlouble.SystemName + QStringLiteral("（与服务器的连接已中断）")
                                  : UnitGlouble.SystemName);
}

namespace {

AlertListFills &alertList(Tmain *page)
{
    auto *fills = dynamic_cast<AlertListFills *>(page);
    if (!fills)
        throw std::runtime_error("The alert list page is not open");
    return *fills;
}

} // namespace

void TFrmMain::hjgcanctdopen()
{
    using Grid = AlertListFills::Grid;
    AlertListFills &page = alertList(CurrentPage);
    QString time, code, operation;
    if (page.fillFromAnswer(Grid::TodayAlerts, nextAnswer()) > 0) {
        time = TextConversions::trim(page.cellText(Grid::TodayAlerts, 1, 1));
        code = page.cellText(Grid::TodayAlerts, 1, 2);
        operation = page.cellText(Grid::TodayAlerts, 1, 4);
    }
    page.fillFromAnswer(Grid::LatestAlerts, nextAnswer());
    PlayAlertSound();
    announce(toastText({QStringLiteral("弹出时间：") + time, QStringLiteral("股票代码：") + code,
                        QStringLiteral("操作方式：") + operation}));
}

void TFrmMain::hjgcXGanddopen()
{
    using Grid = AlertListFills::Grid;
    AlertListFills &page = alertList(CurrentPage);
    page.fillFromAnswer(Grid::TodayAlerts, nextAnswer());
    page.fillFromAnswer(Grid::LatestAlerts, nextAnswer());
}

void TFrmMain::hjgcADDclose()
{
    // This flow keeps its failures to itself: the tick goes on with the next stream.
    try {
        ResultDocument document;
        document.load(nextAnswer());
        QString time, code, operation;
        if (document.rowCount() > 0) {
            time = displayTime(document.fieldText(0, QStringLiteral("nowtime")));
            code = document.fieldText(0, QStringLiteral("gupiaodaima"));
            operation = document.fieldText(0, QStringLiteral("czfs"));
        }
        PlayAlertSound();
        announce(toastText({QStringLiteral("弹出时间：") + time, QStringLiteral("股票代码：") + code,
                            QStringLiteral("操作方式：") + operation}));
    } catch (const std::exception &) {
    }
}

void TFrmMain::spzxaddandopen()
{
    using Grid = AlertListFills::Grid;
    AlertListFills &page = alertList(CurrentPage);
    QString time, type, text;
    if (page.fillFromAnswer(Grid::TodayNews, nextAnswer()) > 0) {
        time = TextConversions::trim(page.cellText(Grid::TodayNews, 1, 1));
        type = page.cellText(Grid::TodayNews, 1, 2);
        text = page.cellText(Grid::TodayNews, 1, 3);
    }
    PlayAlertSound();
    announce(toastText({QStringLiteral("弹出时间：") + time, QStringLiteral("资讯类型：") + type,
                        QStringLiteral("资讯内容：") + text}));
}

void TFrmMain::spzxXGanddopen()
{
    alertList(CurrentPage).fillFromAnswer(AlertListFills::Grid::TodayNews, nextAnswer());
}

void TFrmMain::spzxADDclose()
{
    ResultDocument document;
    document.load(nextAnswer());
    QString time, type, text;
    if (document.rowCount() > 0) {
        time = displayTime(document.fieldText(0, QStringLiteral("nowtime")));
        type = document.fieldText(0, QStringLiteral("zxlx"));
        text = document.fieldText(0, QStringLiteral("zxnr"));
    }
    PlayAlertSound();
    announce(toastText({QStringLiteral("弹出时间：") + time, QStringLiteral("资讯类型：") + type,
                        QStringLiteral("资讯内容：") + text}));
}

void TFrmMain::insiderToast()
{
    announce(toastText({QStringLiteral("【私募内参新消息】"),
                        QStringLiteral("弹出时间：") +
                            TextConversions::trim(ChangeCounters::value(QStringLiteral("smncaddsj"))),
                        QStringLiteral("内参标题：") +
                            TextConversions::trim(ChangeCounters::value(QStringLiteral("smncaddbt")))}));
}

void TFrmMain::secretToast()
{
    announce(toastText({QStringLiteral("【私募绝密新消息】"),
                        QStringLiteral("弹出时间：") +
                            TextConversions::trim(ChangeCounters::value(QStringLiteral("smjmaddsj"))),
                        QStringLiteral("私募绝密标题：") +
                            TextConversions::trim(ChangeCounters::value(QStringLiteral("smjmaddbt")))}));
}

void TFrmMain::reloadInsiderPage()
{
    auto *page = dynamic_cast<RefreshablePage *>(CurrentPage);
    if (!page)
        throw std::runtime_error("The insider page is not open");
    page->Refresh();
}

// ---- Login-elsewhere check ------------------------------------------------------------------

void TFrmMain::Timer2Timer()
{
    if (m_loginCheckWatcher.isRunning())
        return;
    m_loginCheckWatcher.setFuture(QtConcurrent::run([userId = TextConversions::trim(UnitGlouble.UserId)] {
        LoginCheck check;
        try {
            check.loginTime = ServiceClient::GetWebServiceSoap()->hqdlsj(userId);
        } catch (const std::exception &error) {
            check.error = QString::fromUtf8(error.what());
        }
        return check;
    }));
}

void TFrmMain::applyLoginCheck()
{
    const LoginCheck check = m_loginCheckWatcher.result();
    if (!check.loginTime) {
        // The default error report, but one box at a time: a service that stays unreachable
        // would otherwise stack a new box every 15 seconds.
        if (!m_loginReportOpen) {
            m_loginReportOpen = true;
            emit loginCheckApplied();
            DefaultErrorReport::show(check.error);
            m_loginReportOpen = false;
        } else {
            emit loginCheckApplied();
        }
        return;
    }
    if (*check.loginTime == UnitGlouble.LoginStamp) {
        emit loginCheckApplied();
        return;
    }
    Timer1->stop();
    m_polling = false;
    Timer2->stop();
    restoreApplication();
    emit loginCheckApplied();
    MessageBoxes::application(QStringLiteral("您的用户在其它地方登录或被迫下线，如有疑问请联系管理员！"),
                              QStringLiteral("系统错误！"), MessageBoxes::Icon::Error,
                              MessageBoxes::Buttons::Ok, this);
    terminateApplication();
}

// ---- Ending ---------------------------------------------------------------------------------

void TFrmMain::terminateApplication()
{
    m_ending = true;
    FormDestroy();
    QCoreApplication::quit();
}

void TFrmMain::FormDestroy()
{
    if (m_destroyed || UnitGlouble.UserId.isEmpty())
        return;
    m_destroyed = true;
    try {
        ServiceClient::GetWebServiceSoap()->zhixing(QStringLiteral("delete from userdl where userid=") +
                                                    SqlText::integer(UnitGlouble.UserId));
    } catch (const std::exception &) {
    }
    TrayIcon1->hide();
}

// ---- Controls -------------------------------------------------------------------------------

void TFrmMain::restoreApplication()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TFrmMain::SpeedButton1Click()
{
    // With the tray icon the window leaves the taskbar while minimised; the icon stays.
    if (TrayIcon1->isVisible() && QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void TFrmMain::SpeedButton2Click()
{
    if (MessageBoxes::application(QStringLiteral("是否关闭本系统？"), QStringLiteral("提示"),
                                  MessageBoxes::Icon::Information, MessageBoxes::Buttons::OkCancel,
                                  this) == MessageBoxes::Answer::Ok)
        terminateApplication();
}

void TFrmMain::N1Click()
{
    SpeedButton2Click();
}

void TFrmMain::SpeedButton7Click()
{
    if (settingsWindow())
        settingsWindow()();
}

void TFrmMain::N10Click()
{
    if (!TextConversions::trim(UnitGlouble.HomePageUrl).isEmpty())
        ShellOpen::open(UnitGlouble.HomePageUrl);
}

void TFrmMain::PopUpNotifier1Click()
{
    PopUpNotifier1->ClosePopUps();
    restoreApplication();
}

void TFrmMain::changeEvent(QEvent *event)
{
    // Minimised by the desktop (not by our button): leave the taskbar as well when the tray
    // icon can bring the window back.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayIcon1->isVisible() &&
        QSystemTrayIcon::isSystemTrayAvailable())
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
    QWidget::changeEvent(event);
}

void TFrmMain::closeEvent(QCloseEvent *event)
{
    // Once the application is ending, quit() closes every window on its way out: that close
    // is accepted, or the close confirmation would come back after it was answered.
    if (m_ending) {
        event->accept();
        return;
    }
    // Closing by the desktop (a window-manager close) asks as the close button does.
    event->ignore();
    SpeedButton2Click();
}

// The window is dragged by its background: the desktop moves it where it can, else we do.
void TFrmMain::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = !(windowHandle() && windowHandle()->startSystemMove());
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void TFrmMain::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    QWidget::mouseMoveEvent(event);
}

void TFrmMain::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
