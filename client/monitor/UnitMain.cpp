#include "UnitMain.h"

#include "Announcer.h"
#include "BusyCursor.h"
#include "ChangeCounters.h"
#include "ChangeStream.h"
#include "ClientStatements.h"
#include "DefaultErrorReport.h"
#include "HttpTransport.h"
#include "LoginElsewhereCheck.h"
#include "MarqueeStatus.h"
#include "MessageBoxes.h"
#include "OutsideText.h"
#include "ScreenPlacement.h"
#include "ServiceClient.h"
#include "ServicePool.h"
#include "ShellOpen.h"
#include "TPopUpNotifier.h"
#include "TextConversions.h"
#include "TrayIntegration.h"
#include "Unit3.h"
#include "UnitGlouble.h"
#include "UserWait.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <array>
#include <exception>
#include <limits>
#include <utility>

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
constexpr long OnlineRecordRemovalMs = 1000;
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
    m_announcer = new Announcer(this);
    PopUpNotifier1 = m_announcer->notifier();
    connect(m_announcer, &Announcer::clicked, this, &TFrmMain::PopUpNotifier1Click);
    connect(m_announcer, &Announcer::announced, this, &TFrmMain::announced);
    m_flows = std::make_unique<AlertFlows>(*m_announcer, [this] { return CurrentPage; });
    createTray();

    Timer1 = new QTimer(this);
    Timer1->setInterval(15000);
    connect(Timer1, &QTimer::timeout, this, &TFrmMain::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setInterval(15000);
    connect(Timer2, &QTimer::timeout, this, &TFrmMain::Timer2Timer);
    connect(&m_tickWatcher, &QFutureWatcher<PollTick::Fetched>::finished, this, &TFrmMain::applyTick);
    m_changeStream = new ChangeStream(this);
    connect(m_changeStream, &ChangeStream::tickWanted, this, &TFrmMain::tickNow);
    m_loginCheck = new LoginElsewhereCheck(this);
    connect(m_loginCheck, &LoginElsewhereCheck::applied, this, &TFrmMain::loginCheckApplied);
    connect(m_loginCheck, &LoginElsewhereCheck::signedInElsewhere, this, &TFrmMain::endOnLoginElsewhere);

    // A desktop session that ends may not let the program reach its normal end.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TFrmMain::FormDestroy);

    // Placed at once, so that the login window can centre itself over this area while the
    // main window is still hidden; on a screen smaller than the window, its header stays on it.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(ScreenPlacement::centredOnScreen(frameGeometry(), screen->availableGeometry()));
}

QRect TFrmMain::availableArea() const
{
    const QScreen *shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    return shownOn ? shownOn->availableGeometry() : QRect();
}

// A window that lost its header off the screen (the screen shrank, a monitor went, a drag
// took it there) comes back where it can be taken hold of again.
void TFrmMain::keepOnScreen()
{
    const QRect area = availableArea();
    if (area.isValid() && !ScreenPlacement::headerReachable(frameGeometry(), area, PanelTop))
        move(ScreenPlacement::keptOnScreen(frameGeometry(), area));
}

TFrmMain::~TFrmMain()
{
    m_changeStream->stop();
    Timer1->stop();
    Timer2->stop();
    // A fetch still waiting for the service gives up at once; its result is dropped.
    m_tickWatcher.disconnect(this);
    HttpTransport::abortRunning();
    m_tickWatcher.waitForFinished();
    delete m_loginCheck; // waits for a check still running; its answer is dropped
    delete CurrentPage;
    CurrentPage = nullptr;
    FormDestroy();
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

    placeHeaderLabels();

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
        connect(button, &QToolButton::clicked, this,
                [this, kind = kind] { DefaultErrorReport::runHandler([this, kind] { OpenPage(kind); }); });
}

void TFrmMain::createTray()
{
    m_tray = new TrayIntegration(this);
    TrayIcon1 = m_tray->TrayIcon1;
    PopupMenu1 = m_tray->PopupMenu1;
    N1 = m_tray->N1;
    N2 = m_tray->N2;
    N3 = m_tray->N3;
    N4 = m_tray->N4;
    N5 = m_tray->N5;
    N6 = m_tray->N6;
    N7 = m_tray->N7;
    N8 = m_tray->N8;
    N9 = m_tray->N9;
    N10 = m_tray->N10;
    MuteEntry = m_tray->MuteEntry;
    connect(m_tray, &TrayIntegration::pageRequested, this, [this](PageKind kind) {
        DefaultErrorReport::runHandler([this, kind] {
            OpenPage(kind);
            restoreApplication();
        });
    });
    connect(m_tray, &TrayIntegration::restoreRequested, this, &TFrmMain::restoreApplication);
    connect(N10, &QAction::triggered, this, &TFrmMain::N10Click);
    connect(N1, &QAction::triggered, this, &TFrmMain::N1Click);
}

bool TFrmMain::showsOffline() const
{
    return m_tray->showsOffline();
}

void TFrmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (QWindow *window = windowHandle()) {
        connect(window, &QWindow::screenChanged, this, &TFrmMain::followScreen);
        followScreen(window->screen());
    }
    FormShow();
}

void TFrmMain::followScreen(QScreen *screen)
{
    disconnect(m_screenConnection);
    if (screen)
        m_screenConnection =
            connect(screen, &QScreen::availableGeometryChanged, this, &TFrmMain::keepOnScreen);
    keepOnScreen();
}

void TFrmMain::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // The desktop's own move (startSystemMove) ends here too; a move that is still under the
    // user's hand is left alone.
    if (!m_dragging && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        QMetaObject::invokeMethod(this, &TFrmMain::keepOnScreen, Qt::QueuedConnection);
}

void TFrmMain::setPageCaptions()
{
    const GlobalState &g = UnitGlouble;
    const std::map<PageKind, QString> titles = {
        {PageKind::AlertList, g.AlertPageTitle},
        {PageKind::Insider, g.InsiderPageTitle},
        {PageKind::News, g.NewsTitle},
        {PageKind::Quotes, g.QuotesTitle},
        {PageKind::Valuation, g.ValuationTitle},
        {PageKind::StockProfile, g.StockProfileTitle},
        {PageKind::MarketFunds, g.MarketFundsTitle},
        {PageKind::Research, g.ResearchTitle},
    };
    const std::map<PageKind, QToolButton *> buttons = {
        {PageKind::AlertList, SpeedButton3},    {PageKind::Insider, SpeedButton4},
        {PageKind::News, SpeedButton5},         {PageKind::Quotes, SpeedButton6},
        {PageKind::Valuation, SpeedButton8},    {PageKind::StockProfile, SpeedButton10},
        {PageKind::MarketFunds, SpeedButton11}, {PageKind::Research, SpeedButton12},
    };
    for (const auto &[kind, title] : titles)
        buttons.at(kind)->setText(title);
    m_tray->setPageTitles(titles);
}

// The header's labels at their design places where the font allows, each as wide as its text:
// a larger desktop font pushes a caption's value (and the next caption) to the right instead
// of cutting it. A value with no room left is cut with "…" and shown whole as a tooltip.
void TFrmMain::placeHeaderLabels()
{
    constexpr int Gap = 4;
    constexpr int RowEnd = 940; // the caption buttons start at 947
    const auto fit = [](QLabel *label, const QString &text, int width) {
        const QString shown = label->fontMetrics().elidedText(text, Qt::ElideRight, width);
        label->setText(shown);
        label->setToolTip(shown == text ? QString() : OutsideText::forToolTip(text));
        label->resize(label->sizeHint().width(), label->sizeHint().height());
    };
    const auto rightOf = [](const QLabel *label) { return label->geometry().right() + 1 + Gap; };
    for (QLabel *label : {Label5, Label6, Label7})
        label->adjustSize();
    const auto &[name, level, expiry] = m_headerValues;

    Label5->move(658, 32);
    const int nameX = std::max(710, rightOf(Label5));
    const int levelRoom =
        Label6->isHidden() ? 0 : Label6->width() + Gap + Label9->fontMetrics().horizontalAdvance(level) + Gap;
    Label8->move(nameX, 32);
    fit(Label8, name, std::max(1, RowEnd - levelRoom - nameX));
    Label6->move(std::max(790, rightOf(Label8)), 32);
    Label9->move(std::max(857, rightOf(Label6)), 33);
    fit(Label9, level, std::max(1, RowEnd - Label9->x()));

    Label7->move(Label6->x(), 64);
    Label10->move(std::max(854, rightOf(Label7)), 64);
    fit(Label10, expiry, std::max(1, width() - 6 - Label10->x()));
    SpeedButton7->resize(std::max(73, SpeedButton7->sizeHint().width()),
                         std::max(22, SpeedButton7->sizeHint().height()));
}

void TFrmMain::setUserLabels()
{
    m_headerValues.userName = UnitGlouble.UserName;
    if (UnitGlouble.UserTiering) {
        if (UnitGlouble.UserLevel == QLatin1String("0"))
            m_headerValues.level = QStringLiteral("普通用户");
        else if (UnitGlouble.UserLevel == QLatin1String("1"))
            m_headerValues.level = QStringLiteral("会员");
        else if (UnitGlouble.UserLevel == QLatin1String("2"))
            m_headerValues.level = QStringLiteral("VIP");
    } else {
        Label6->hide();
        Label9->hide();
    }
    m_headerValues.expiryDate = UnitGlouble.ExpiryDate;
    placeHeaderLabels();
}

// The show sequence. Its steps stand apart: a service that fails one call right after sign-in
// must not leave a window that looks online and never polls. Only the polling step talks to
// the service, and it never throws; opening the first page fails silently, as it does later.
void TFrmMain::FormShow()
{
    setPageCaptions();
    setWindowTitle(UnitGlouble.SystemName);
    m_tray->setSystemName(UnitGlouble.SystemName);
    m_tray->show();
    MarqueeStatus1->setText(UnitGlouble.SystemNotice);
    setUserLabels();
    startPolling();
    try {
        OpenPage(PageKind::AlertList);
    } catch (const std::exception &) {
    }
    Timer2->start();
    startChangeStream();
    if (UnitGlouble.StayOnTop) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setWindowFlag(Qt::WindowStaysOnTopHint);
        show(); // changing the flags hides the window; the position and size stay
    }
}

void TFrmMain::startPolling()
{
    UnitGlouble.AlertListOpen = false;
    UnitGlouble.InsiderPageOpen = false;
    m_polling = true;
    if (const auto period = pollPeriodMs(UnitGlouble.PollIntervalSeconds))
        Timer1->start(*period);
    // A first fetch that fails counts as a failed tick; the next tick tries it again.
    try {
        FetchChangeCounters();
        storeCountersAsSeen();
        m_needsFirstCounters = false;
    } catch (const std::exception &) {
        m_needsFirstCounters = true;
        m_tray->noteTickReached(false);
    }
}

void TFrmMain::OpenPage(PageKind kind)
{
    // A page that opens waits for the service in a local event loop; another page asked for
    // meanwhile would delete the one still being filled.
    if (UserWait::isWaiting())
        return;
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
    startTick();
}

void TFrmMain::startChangeStream()
{
    // The service tells of a change the moment it happens; the poll timer stays the safety
    // net, and a service without the stream is simply polled.
    m_changeStream->start(QUrl(ServiceClient::serviceHost() + QStringLiteral("/events?userdj=") +
                               QString(UnitGlouble.UserLevel).trimmed()));
}

void TFrmMain::tickNow()
{
    if (!m_polling)
        return;
    // A change told while a tick's fetch is out may have come after the fetch read the
    // counters: exactly one more tick follows it.
    if (m_tickWatcher.isRunning()) {
        m_tickAgain = true;
        return;
    }
    startTick();
}

void TFrmMain::startTick()
{
    m_tickState = PollTick::State::current();
    m_tickFetchesFirstCounters = m_needsFirstCounters;
    if (m_tickFetchesFirstCounters)
        m_tickWatcher.setFuture(
            QtConcurrent::run(&ServicePool::threads(), &PollTick::fetchCounters, UnitGlouble.UserLevel));
    else
        m_tickWatcher.setFuture(QtConcurrent::run(&ServicePool::threads(), &PollTick::fetch,
                                                  UnitGlouble.UserLevel, m_tickState,
                                                  PollTick::Queries::current()));
}

void TFrmMain::applyTick()
{
    const PollTick::Fetched fetched = m_tickWatcher.result();
    if (m_tickFetchesFirstCounters) {
        applyFirstCounters(fetched);
        tickAgainIfAsked();
        return;
    }
    // A page opened or closed, or counters recorded, while the fetch waited: the dispatch the
    // fetch prepared for is not the one due now. Nothing is stored; the next tick starts afresh.
    const bool stillDue = fetched.counterText &&
                          (PollTick::State::current() == m_tickState ||
                           PollTick::plan(*fetched.counterText, PollTick::State::current()) == fetched.flows);
    if (stillDue) {
        try {
            ChangeCounters::store(*fetched.counterText);
            storeCountersAsSeen();
            for (size_t i = 0; i < fetched.flows.size(); ++i)
                m_flows->run(fetched.flows[i], fetched.answers[i]);
        } catch (const std::exception &) {
            // A failing tick ends silently; what it did before stays done.
        }
    }
    m_tray->noteTickReached(fetched.counterText.has_value());
    emit pollTickApplied();
    tickAgainIfAsked();
}

void TFrmMain::tickAgainIfAsked()
{
    if (std::exchange(m_tickAgain, false) && m_polling && !m_tickWatcher.isRunning())
        startTick();
}

// Counters that were never stored as seen would make every stream look changed: they are taken
// as the starting point, as the show sequence would have taken them.
void TFrmMain::applyFirstCounters(const PollTick::Fetched &fetched)
{
    bool stored = false;
    if (fetched.counterText) {
        try {
            ChangeCounters::store(*fetched.counterText);
            storeCountersAsSeen();
            stored = true;
            m_needsFirstCounters = false;
        } catch (const std::exception &) {
        }
    }
    m_tray->noteTickReached(stored);
    emit pollTickApplied();
}

void TFrmMain::PlayAlertSound()
{
    m_announcer->playSound();
}

// ---- Login-elsewhere check ------------------------------------------------------------------

void TFrmMain::Timer2Timer()
{
    m_loginCheck->start(TextConversions::trim(UnitGlouble.UserId), UnitGlouble.LoginStamp);
}

void TFrmMain::endOnLoginElsewhere()
{
    m_changeStream->stop();
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
    // Nothing that waits for the service may hold up the end: the timers stop, waits the user
    // started end, running transfers give up.
    Timer1->stop();
    Timer2->stop();
    UserWait::cancelAll();
    HttpTransport::abortRunning();
    FormDestroy();
    QCoreApplication::quit();
}

void TFrmMain::FormDestroy()
{
    if (m_destroyed || UnitGlouble.UserId.isEmpty())
        return;
    m_destroyed = true;
    m_changeStream->stop();
    // Only the record of this sign-in goes: after a later sign-in of the account (the reason
    // this client may be ending) the record is that sign-in's, and deleting it would end that
    // client at its next check too. A sign-in that recorded no login time has no record.
    if (!UnitGlouble.LoginStamp.isEmpty()) {
        try {
            // A hung service gets a second of its own to take the record away: closing the
            // program must not wait for a call's whole time-out.
            const HttpTransport::DeadlineScope shortDeadline(OnlineRecordRemovalMs);
            ServiceClient::GetWebServiceSoap()->zhixing(
                ClientStatements::onlineRecordDelete(UnitGlouble.UserId, UnitGlouble.LoginStamp));
        } catch (const std::exception &) {
        }
    }
    m_tray->hide();
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
    if (m_tray->canHoldWindow())
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
        DefaultErrorReport::runHandler(settingsWindow());
}

void TFrmMain::N10Click()
{
    if (!TextConversions::trim(UnitGlouble.HomePageUrl).isEmpty())
        ShellOpen::open(UnitGlouble.HomePageUrl);
}

void TFrmMain::PopUpNotifier1Click()
{
    m_announcer->closePopUps();
    restoreApplication();
}

void TFrmMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        placeHeaderLabels();
    // Minimised by the desktop (not by our button): leave the taskbar as well when the tray
    // icon can bring the window back.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray->canHoldWindow())
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
    const bool dragged = m_dragging;
    m_dragging = false;
    if (dragged)
        keepOnScreen();
    QWidget::mouseReleaseEvent(event);
}
