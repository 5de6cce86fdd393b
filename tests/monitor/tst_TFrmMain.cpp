#include "AlertSound.h"
#include "ChangeCounters.h"
#include "ChangeStream.h"
#include "ClientServiceFixture.h"
#include "ClosedHost.h"
#include "HttpTransport.h"
#include "HungService.h"
#include "LoginWindowSignIn.h"
#include "MainWindowWithTimersStopped.h"
#include "OpenMessageBox.h"
#include "OpenedUrls.h"
#include "ServiceClient.h"
#include "ServiceHostOverride.h"
#include "ServicePool.h"
#include "ServiceWithoutStream.h"
#include "StringGrid.h"
#include "TPopUpNotifier.h"
#include "TerminationSignals.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitMain.h"
#include "UnitSMNC.h"
#include "UserWaitDriver.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <optional>

#include <sched.h>
#include <signal.h>
#include <unistd.h>

using Answer = MessageBoxes::Answer;

namespace {

constexpr int Bound = 15000; // ms for anything that waits for the service

const QString Cr = QString(QChar(13));

// Puts every thread of this process on one CPU while it lives (a loaded single-core machine),
// and gives them their CPUs back when it goes.
class OneCpu
{
public:
    OneCpu()
    {
        sched_getaffinity(0, sizeof(m_before), &m_before);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &m_before)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        applyToAllThreads(one);
    }
    ~OneCpu() { applyToAllThreads(m_before); }
    OneCpu(const OneCpu &) = delete;
    OneCpu &operator=(const OneCpu &) = delete;

private:
    static void applyToAllThreads(const cpu_set_t &set)
    {
        const QStringList threads =
            QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &thread : threads)
            sched_setaffinity(thread.toInt(), sizeof(set), &set);
    }
    cpu_set_t m_before;
};

} // namespace

// The main window against the real service: publish through the service's own operator
// commands between ticks, drive the tick directly and wait for its apply step.
class tst_TFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void showSequenceLabels_data();
    void showSequenceLabels();
    void failingFirstCounterFetchStillPolls();
    void zeroPeriodNeverFires();

    void unchangedCountersDoNothing();
    void stockAlertWithPageClosed();
    void changeStreamStartsATickAtOnce();
    void serviceWithoutStreamIsPolledAtItsPeriod();
    void allFourStreamsInOneTickInOrder();
    void counterThatGoesDownIsAChange();
    void revisionWithPageClosedIsStoredNotAnnounced();
    void failingFlowStopsLaterStreams();
    void failingClosedPageStockFlowDoesNotStopTheTick();

    void stockAlertWithPageOpenRefreshesGrids();
    void additionAndRevisionWithPageOpen();
    void liveNewsWithPageOpen();
    void emptyTodayListWithPageOpen();
    void pageOpenedWhileTheFetchWaitedDropsTheTick();

    void hungServiceKeepsWindowResponsive();
    void hungCallsLeaveWindowPainting_data();
    void hungCallsLeaveWindowPainting();
    void endingDuringAHungTickIsPrompt_data();
    void endingDuringAHungTickIsPrompt();
    void openingTheAlertListLeavesTheWindowAnswering();

    void loginElsewhereEndsTheClient();
    void outageIsToldByOneBox();
    void keptOnASmallScreen();

    void closeConfirmation_data();
    void closeConfirmation();
    void homePage_data();
    void homePage();
    void toastClickRestoresWindow();

private:
    void signIn(const QString &name = QStringLiteral("demo"));
    // Leaves the window without the alert list page (no other page is known to this test).
    static void closeAlertList(TFrmMain &window);
    bool tick(TFrmMain &window);
    void publish(const QStringList &args);
    QString newestDisplayTime(const QString &table);

    std::unique_ptr<ClientServiceFixture> m_client;
    ServiceFixture *m_service = nullptr;
    MessageBoxRecorder *m_boxes = nullptr;
};

void tst_TFrmMain::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    TFrmMain::setPageFactory(TFrmMain::PageKind::AlertList,
                             [](QWidget *hostPanel) -> Tmain * { return new TFormSMNC(hostPanel); });
}

void tst_TFrmMain::init()
{
    UnitGlouble = GlobalState{};
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_service = &m_client->service();
    m_boxes = &m_client->boxes();
}

void tst_TFrmMain::cleanup()
{
    m_client.reset();
}

void tst_TFrmMain::signIn(const QString &name)
{
    QVERIFY(signInThroughLoginWindow(name, name));
}

void tst_TFrmMain::closeAlertList(TFrmMain &window)
{
    window.OpenPage(TFrmMain::PageKind::Quotes);
    QVERIFY(!UnitGlouble.AlertListOpen);
}

bool tst_TFrmMain::tick(TFrmMain &window)
{
    QSignalSpy applied(&window, &TFrmMain::pollTickApplied);
    window.Timer1Timer();
    return applied.wait(Bound);
}

void tst_TFrmMain::publish(const QStringList &args)
{
    QString output;
    QCOMPARE(m_service->runCommand(QStringList{QStringLiteral("publish")} + args, &output), 0);
}

// The newest row's time as the toasts show it.
QString tst_TFrmMain::newestDisplayTime(const QString &table)
{
    const auto rows =
        m_service->querySql(QStringLiteral("select nowtime from %1 order by id desc limit 1").arg(table));
    return rows.isEmpty() ? QString()
                          : rows.first().first().left(19).replace(QLatin1Char('T'), QLatin1Char(' '));
}

void tst_TFrmMain::showSequenceLabels_data()
{
    QTest::addColumn<bool>("tiering");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("levelText");
    QTest::addColumn<bool>("levelShown");

    QTest::newRow("VIP") << true << QStringLiteral("demo") << QStringLiteral("VIP") << true;
    QTest::newRow("member") << true << QStringLiteral("vip") << QStringLiteral("会员") << true;
    QTest::newRow("level 3 keeps the design text")
        << true << QStringLiteral("member") << QStringLiteral("用户名：") << true;
    QTest::newRow("no tiering hides the level")
        << false << QStringLiteral("demo") << QStringLiteral("用户名：") << false;
}

void tst_TFrmMain::showSequenceLabels()
{
    QFETCH(bool, tiering);
    QFETCH(QString, user);
    QFETCH(QString, levelText);
    QFETCH(bool, levelShown);
    QVERIFY(m_service->execSql(
        QStringLiteral("update Sys_pz set yhqyhyfj='%1'").arg(tiering ? "True" : "False")));
    signIn(user);
    auto window = showMainWindowWithTimersStopped();
    QCOMPARE(window->windowTitle(), UnitGlouble.SystemName);
    QCOMPARE(window->Label8->text(), user);
    QCOMPARE(window->Label8->textFormat(), Qt::PlainText);
    QCOMPARE(window->Label9->text(), levelText);
    QCOMPARE(window->Label9->isVisibleTo(window.get()), levelShown);
    QCOMPARE(window->Label6->isVisibleTo(window.get()), levelShown);
    QCOMPARE(window->Label10->text(), UnitGlouble.ExpiryDate);
    QCOMPARE(window->SpeedButton3->text(), UnitGlouble.AlertPageTitle);
    QCOMPARE(window->N5->text(), UnitGlouble.ResearchTitle);
    QCOMPARE(window->SpeedButton12->text(), UnitGlouble.ResearchTitle);
    QVERIFY(window->isPolling());
    QCOMPARE(UnitGlouble.LastStockAdded, ChangeCounters::counter(QStringLiteral("gptjadd")));
    QCOMPARE(window->size(), QSize(1009, 677));
}

// The service fails the first counter fetch right after sign-in: both timers run all the same,
// the failure counts as a failed tick, and once the service answers again an alert gives its
// toast and the login check goes on.
void tst_TFrmMain::failingFirstCounterFetchStillPolls()
{
    signIn();
    auto closedHost = std::make_unique<ServiceHostOverride>(ClosedHost);
    auto window = std::make_unique<TFrmMain>();
    window->show();
    QCOMPARE(window->Label8->text(), QStringLiteral("demo"));
    QVERIFY(window->isPolling());
    QVERIFY(window->Timer1->isActive());
    QVERIFY(window->CurrentPage); // the alert list, empty
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(window->needsFirstCounters());
    closedHost.reset();
    stopPollTimers(*window);

    // The next tick reads the counters the first fetch could not; the one after announces.
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QVERIFY(tick(*window));
    QVERIFY(!window->needsFirstCounters());
    QCOMPARE(toasts.count(), 0);
    QCOMPARE(UnitGlouble.LastSecretAdded, ChangeCounters::counter(QStringLiteral("smjmadd")));
    publish({"secret", "--title", "首次失败之后", "--level", "3"});
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
    QVERIFY(toasts.first().first().toString().contains(QStringLiteral("首次失败之后")));
    QSignalSpy checked(window.get(), &TFrmMain::loginCheckApplied);
    window->Timer2Timer();
    QVERIFY(checked.wait(Bound));
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFrmMain::zeroPeriodNeverFires()
{
    QVERIFY(m_service->execSql(QStringLiteral("update Sys_pz set khdsxsj=0")));
    signIn();
    auto window = std::make_unique<TFrmMain>();
    window->show();
    QVERIFY(window->isPolling());
    QVERIFY(!window->Timer1->isActive());
}

void tst_TFrmMain::unchangedCountersDoNothing()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    const QStringList before = UnitGlouble.ChangeCounters;
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 0);
    QCOMPARE(sounds.count(), 0);
    QCOMPARE(UnitGlouble.ChangeCounters, before);
}

void tst_TFrmMain::stockAlertWithPageClosed()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    closeAlertList(*window);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "卖出", "--reason", "测试", "--level",
             "3"});
    publish({"stock", "--code", "600028", "--name", "中国石化", "--op", "买入", "--reason", "测试", "--level",
             "2"});
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
    QCOMPARE(toasts.first().first().toString(),
             QStringLiteral("弹出时间：") + newestDisplayTime(QStringLiteral("Tuijiangupiao")) + Cr +
                 QStringLiteral("股票代码：600028") + Cr + QStringLiteral("操作方式：买入"));
    QCOMPARE(sounds.count(), 1);
    QCOMPARE(window->PopUpNotifier1->PopupCount(), 1);
    QCOMPARE(UnitGlouble.LastStockAdded, ChangeCounters::counter(QStringLiteral("gptjadd")));
}

void tst_TFrmMain::changeStreamStartsATickAtOnce()
{
    signIn();
    // As start-up shows it, with the poll timers stopped but the change stream left open:
    // only an event can start a tick.
    auto window = std::make_unique<TFrmMain>();
    QSignalSpy applied(window.get(), &TFrmMain::pollTickApplied);
    window->show();
    window->Timer1->stop();
    window->Timer2->stop();
    closeAlertList(*window);
    QTRY_VERIFY_WITH_TIMEOUT(window->changeStream()->isOpen(), Bound);
    // The stream's first event (the current counters) starts one tick, which finds nothing.
    QTRY_VERIFY_WITH_TIMEOUT(applied.count() > 0 && !window->isTickRunning(), Bound);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    publish({"stock", "--code", "600028", "--name", "中国石化", "--op", "买入", "--reason", "测试", "--level",
             "2"});
    QVERIFY(toasts.wait(Bound));
    QVERIFY2(toasts.first().first().toString().contains(QStringLiteral("股票代码：600028")),
             qPrintable(toasts.first().first().toString()));
    QVERIFY(!window->Timer1->isActive());
}

void tst_TFrmMain::serviceWithoutStreamIsPolledAtItsPeriod()
{
    QVERIFY(m_service->execSql(QStringLiteral("update Sys_pz set khdsxsj=1")));
    ServiceWithoutStream older(m_service->port());
    ServiceHostOverride host(older.host());
    signIn();
    auto window = std::make_unique<TFrmMain>();
    QList<qint64> appliedAt;
    QElapsedTimer clock;
    clock.start();
    connect(window.get(), &TFrmMain::pollTickApplied, this, [&] { appliedAt << clock.elapsed(); });
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    window->show();
    closeAlertList(*window);
    // The stream is asked for, refused, and left for later; polling goes on as the timer says.
    QTRY_VERIFY_WITH_TIMEOUT(older.streamRequests() >= 1 && window->changeStream()->retryIn().count() > 0,
                             Bound);
    QVERIFY(!window->changeStream()->isOpen());
    QVERIFY(window->Timer1->isActive());
    QCOMPARE(window->Timer1->interval(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(appliedAt.size() >= 3, Bound);
    publish({"stock", "--code", "600028", "--name", "中国石化", "--op", "买入", "--reason", "测试", "--level",
             "2"});
    QVERIFY(toasts.wait(Bound));
    QVERIFY2(toasts.last().first().toString().contains(QStringLiteral("股票代码：600028")),
             qPrintable(toasts.last().first().toString()));
    // Only the timer started ticks: none came sooner than its period (a coarse timer may fire
    // up to 5 % early).
    for (qsizetype i = 1; i < appliedAt.size(); ++i)
        QVERIFY2(appliedAt[i] - appliedAt[i - 1] >= 900,
                 qPrintable(QStringLiteral("ticks %1 ms apart").arg(appliedAt[i] - appliedAt[i - 1])));
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFrmMain::allFourStreamsInOneTickInOrder()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    closeAlertList(*window);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    publish({"secret", "--title", "绝密 标题", "--level", "3"});
    publish({"insider", "--title", "内参标题", "--level", "2"});
    publish({"news", "--type", "政策", "--text", "央行降准", "--level", "3"});
    publish({"stock", "--code", "600519", "--name", "贵州茅台", "--op", "加仓", "--reason", "突破", "--level",
             "3"});
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 4);
    QCOMPARE(sounds.count(), 4);
    QVERIFY(toasts.at(0).first().toString().endsWith(QStringLiteral("股票代码：600519") + Cr +
                                                     QStringLiteral("操作方式：加仓")));
    QCOMPARE(toasts.at(1).first().toString(),
             QStringLiteral("弹出时间：") + newestDisplayTime(QStringLiteral("spzx")) + Cr +
                 QStringLiteral("资讯类型：政策") + Cr + QStringLiteral("资讯内容：央行降准"));
    QCOMPARE(toasts.at(2).first().toString(), QStringLiteral("【私募内参新消息】") + Cr +
                                                  QStringLiteral("弹出时间：") +
                                                  ChangeCounters::value(QStringLiteral("smncaddsj")) + Cr +
                                                  QStringLiteral("内参标题：内参标题"));
    // The service quotes titles, so a blank stays inside the title.
    QCOMPARE(toasts.at(3).first().toString(), QStringLiteral("【私募绝密新消息】") + Cr +
                                                  QStringLiteral("弹出时间：") +
                                                  ChangeCounters::value(QStringLiteral("smjmaddsj")) + Cr +
                                                  QStringLiteral("私募绝密标题：绝密 标题"));
    QVERIFY(ChangeCounters::value(QStringLiteral("smncaddsj")).contains(QLatin1Char(' ')));
}

void tst_TFrmMain::counterThatGoesDownIsAChange()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    const qint32 current = UnitGlouble.LastSecretAdded;
    UnitGlouble.LastSecretAdded = current + 5; // the service's counter is now below the last seen
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
    QVERIFY(toasts.first().first().toString().startsWith(QStringLiteral("【私募绝密新消息】")));
    QCOMPARE(UnitGlouble.LastSecretAdded, current);
}

void tst_TFrmMain::revisionWithPageClosedIsStoredNotAnnounced()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    closeAlertList(*window);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    const qint32 before = UnitGlouble.LastStockChanged;
    QString output;
    QCOMPARE(m_service->runCommand({"revise", "stock", "5", "--reason", "修订"}, &output), 0);
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 0);
    QVERIFY(UnitGlouble.LastStockChanged != before);
    QCOMPARE(UnitGlouble.LastStockChanged, ChangeCounters::counter(QStringLiteral("gptjsx")));
}

// The live-news flow fails (its table is gone): the secret stream after it is not announced,
// although its new counter was stored.
void tst_TFrmMain::failingFlowStopsLaterStreams()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    closeAlertList(*window);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "买入", "--reason", "测试", "--level",
             "3"});
    publish({"news", "--type", "政策", "--text", "央行降准", "--level", "3"});
    publish({"secret", "--title", "绝密", "--level", "3"});
    QVERIFY(m_service->execSql(QStringLiteral("drop table spzx")));
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
    QVERIFY(toasts.first().first().toString().contains(QStringLiteral("股票代码：600000")));
    QCOMPARE(UnitGlouble.LastSecretAdded, ChangeCounters::counter(QStringLiteral("smjmadd")));
    // The next tick starts afresh and has nothing left to announce.
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
}

void tst_TFrmMain::failingClosedPageStockFlowDoesNotStopTheTick()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    closeAlertList(*window);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "买入", "--reason", "测试", "--level",
             "3"});
    publish({"news", "--type", "政策", "--text", "央行降准", "--level", "3"});
    QVERIFY(m_service->execSql(QStringLiteral("drop table Tuijiangupiao")));
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
    QVERIFY(toasts.first().first().toString().contains(QStringLiteral("资讯内容：央行降准")));
    QCOMPARE(sounds.count(), 1); // the failed query brought no sound
}

namespace {

TFormSMNC *alertList(TFrmMain &window)
{
    return qobject_cast<TFormSMNC *>(window.CurrentPage);
}

int hqsametableCalls(const ServiceFixture &service)
{
    return service.serverLog().count(QStringLiteral(" hqsametable 200"));
}

} // namespace

void tst_TFrmMain::stockAlertWithPageOpenRefreshesGrids()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    TFormSMNC *page = alertList(*window);
    QVERIFY(page);
    QVERIFY(UnitGlouble.AlertListOpen);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    const int todayBefore = page->StringGrid1->rowCount();
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "卖出", "--reason", "测试", "--level",
             "3"});
    publish({"stock", "--code", "600028", "--name", "中国石化", "--op", "买入", "--reason", "测试", "--level",
             "2"});
    QVERIFY(tick(*window));
    QCOMPARE(page->StringGrid1->rowCount(), todayBefore + 2);
    QCOMPARE(page->cellText(AlertListFills::Grid::TodayAlerts, 1, 2), QStringLiteral("600028"));
    QCOMPARE(page->cellText(AlertListFills::Grid::TodayAlerts, 2, 2), QStringLiteral("600000"));
    QCOMPARE(page->cellText(AlertListFills::Grid::LatestAlerts, 1, 2), QStringLiteral("600028"));
    QCOMPARE(toasts.count(), 1);
    QCOMPARE(toasts.first().first().toString(),
             QStringLiteral("弹出时间：") + newestDisplayTime(QStringLiteral("Tuijiangupiao")) + Cr +
                 QStringLiteral("股票代码：600028") + Cr + QStringLiteral("操作方式：买入"));
    QCOMPARE(sounds.count(), 1);
}

// Both stock-pool counters moved: the adding flow, then the revising one, which refills
// without a sound or a toast.
void tst_TFrmMain::additionAndRevisionWithPageOpen()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "卖出", "--reason", "测试", "--level",
             "3"});
    QString output;
    QCOMPARE(m_service->runCommand({"revise", "stock", "5", "--reason", "修订理由"}, &output), 0);
    const int callsBefore = hqsametableCalls(*m_service);
    QVERIFY(tick(*window));
    QCOMPARE(hqsametableCalls(*m_service) - callsBefore, 4);
    QCOMPARE(toasts.count(), 1);
    QCOMPARE(sounds.count(), 1);
    TFormSMNC *page = alertList(*window);
    bool revisedShown = false;
    for (int row = 1; row < page->StringGrid1->rowCount(); ++row)
        revisedShown |=
            page->cellText(AlertListFills::Grid::TodayAlerts, row, 5) == QStringLiteral("修订理由");
    QVERIFY(revisedShown);
}

void tst_TFrmMain::liveNewsWithPageOpen()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    publish({"news", "--type", "板块", "--text", "券商板块异动", "--level", "2"});
    QVERIFY(tick(*window));
    TFormSMNC *page = alertList(*window);
    QCOMPARE(page->cellText(AlertListFills::Grid::TodayNews, 1, 3), QStringLiteral("券商板块异动"));
    QCOMPARE(toasts.count(), 1);
    QCOMPARE(toasts.first().first().toString(),
             QStringLiteral("弹出时间：") + newestDisplayTime(QStringLiteral("spzx")) + Cr +
                 QStringLiteral("资讯类型：板块") + Cr + QStringLiteral("资讯内容：券商板块异动"));
}

// An alert dated on another day is announced with the newest of today's list, which is empty:
// the toast shows its labels with empty values, and today's grid one unwritten row.
void tst_TFrmMain::emptyTodayListWithPageOpen()
{
    QVERIFY(m_service->execSql(QStringLiteral("delete from Tuijiangupiao where id >= 5")));
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "卖出", "--reason", "测试", "--level",
             "3", "--time", "2020-01-02 10:00:00"});
    QVERIFY(tick(*window));
    TFormSMNC *page = alertList(*window);
    QCOMPARE(page->StringGrid1->rowCount(), 2);
    QCOMPARE(page->cellText(AlertListFills::Grid::LatestAlerts, 1, 2), QStringLiteral("600000"));
    QCOMPARE(toasts.count(), 1);
    QCOMPARE(toasts.first().first().toString(), QStringLiteral("弹出时间：") + Cr +
                                                    QStringLiteral("股票代码：") + Cr +
                                                    QStringLiteral("操作方式："));
}

// The user opens the alert list while a fetch made for the closed page still waits: that
// fetch is not applied; the page took the counters as seen when it opened, so nothing is
// announced twice and nothing is lost.
void tst_TFrmMain::pageOpenedWhileTheFetchWaitedDropsTheTick()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    closeAlertList(*window);
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "卖出", "--reason", "测试", "--level",
             "3"});
    QSignalSpy applied(window.get(), &TFrmMain::pollTickApplied);
    window->Timer1Timer();
    window->OpenPage(TFrmMain::PageKind::AlertList); // blocks while the page loads
    QVERIFY(applied.count() == 1 || applied.wait(Bound));
    QCOMPARE(toasts.count(), 0);
    QCOMPARE(UnitGlouble.LastStockAdded, ChangeCounters::counter(QStringLiteral("gptjadd")));
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 0);
}

// A service that accepts connections and never answers: the window keeps handling events while
// the tick waits, no second tick starts, and polling resumes without a message once the service
// answers again.
void tst_TFrmMain::hungServiceKeepsWindowResponsive()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QTcpServer hung;
    QVERIFY(hung.listen(QHostAddress::LocalHost));
    QList<QTcpSocket *> held;
    connect(&hung, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket *socket = hung.nextPendingConnection())
            held.append(socket);
    });
    auto hungHost =
        std::make_unique<ServiceHostOverride>(QStringLiteral("http://127.0.0.1:%1").arg(hung.serverPort()));

    QSignalSpy applied(window.get(), &TFrmMain::pollTickApplied);
    window->Timer1Timer();
    QTRY_COMPARE_WITH_TIMEOUT(held.size(), 1, Bound);
    bool timerRan = false;
    QTimer::singleShot(0, this, [&] { timerRan = true; });
    QTRY_VERIFY_WITH_TIMEOUT(timerRan, Bound);
    QVERIFY(window->isTickRunning());
    window->Timer1Timer(); // due again while the first waits
    // A second fetch would have taken a second service thread at once.
    QCOMPARE(ServicePool::threads().activeThreadCount(), 1);
    QCOMPARE(held.size(), 1);
    QCOMPARE(applied.count(), 0);

    // The service comes back: the waiting call fails, silently, and the next tick works.
    hungHost.reset();
    for (QTcpSocket *socket : held)
        socket->abort();
    QVERIFY(applied.count() == 1 || applied.wait(Bound));
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    publish({"secret", "--title", "恢复", "--level", "3"});
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFrmMain::hungCallsLeaveWindowPainting_data()
{
    QTest::addColumn<bool>("oneCpu");
    QTest::newRow("all CPUs") << false;
    QTest::newRow("one CPU") << true;
}

// A tick and a login check both wait for a service that never answers: painting the whole
// window and a click on 系统设置 still finish at once. Qt paints large areas on its global
// thread pool, which the service calls therefore must not occupy.
void tst_TFrmMain::hungCallsLeaveWindowPainting()
{
    QFETCH(bool, oneCpu);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    HungService hung;
    QVERIFY(hung.isListening());
    bool settingsOpened = false;
    TFrmMain::setSettingsWindow([&settingsOpened] { settingsOpened = true; });
    std::optional<OneCpu> pinned;
    if (oneCpu)
        pinned.emplace();
    {
        const ServiceHostOverride hungHost(hung.host());
        QSignalSpy applied(window.get(), &TFrmMain::pollTickApplied);
        window->Timer1Timer();
        window->Timer2Timer();
        QTRY_COMPARE_WITH_TIMEOUT(hung.heldConnections(), 2, Bound);
        // Painting borrows the global pool for moments; the hung calls would hold it for good.
        QTRY_COMPARE_WITH_TIMEOUT(QThreadPool::globalInstance()->activeThreadCount(), 0, Bound);

        QElapsedTimer answered;
        answered.start();
        const QPixmap shot = window->grab();
        QTest::mouseClick(window->SpeedButton7, Qt::LeftButton);
        const qint64 elapsed = answered.elapsed();
        QVERIFY(!shot.isNull());
        QVERIFY(settingsOpened);
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
        HttpTransport::abortRunning();
        QVERIFY(applied.count() == 1 || applied.wait(Bound));
    }
    pinned.reset();
    TFrmMain::setSettingsWindow({});
    QTRY_VERIFY_WITH_TIMEOUT(m_boxes->count() == 1, Bound); // the aborted check's report
}

void tst_TFrmMain::endingDuringAHungTickIsPrompt_data()
{
    QTest::addColumn<bool>("bySignal");
    QTest::newRow("close confirmed") << false;
    QTest::newRow("SIGTERM") << true;
}

// Closing (or SIGTERM) while a tick waits for a service that never answers: the program is
// through its destroy step, which asks the same service, within three seconds.
void tst_TFrmMain::endingDuringAHungTickIsPrompt()
{
    QFETCH(bool, bySignal);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    HungService hung;
    QVERIFY(hung.isListening());
    const ServiceHostOverride hungHost(hung.host());
    window->Timer1Timer();
    QTRY_COMPARE_WITH_TIMEOUT(hung.heldConnections(), 1, Bound);

    QElapsedTimer ending;
    ending.start();
    if (bySignal) {
        bool ended = false;
        TerminationSignals::install([&] {
            window->terminateApplication();
            ended = true;
        });
        QVERIFY(::kill(::getpid(), SIGTERM) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 3000);
        TerminationSignals::install([] {});
    } else {
        m_boxes->queueAnswer(Answer::Ok);
        window->SpeedButton2Click();
    }
    window.reset(); // waits for the tick's fetch
    QVERIFY2(ending.elapsed() < 3000, qPrintable(QString::number(ending.elapsed())));
    QTRY_COMPARE(hung.heldConnections(), 2); // the online record's removal was tried
}

// The alert list opens against a service that never answers: the window repaints and takes a
// click at once, and 取消 ends the wait; the page stays, empty, and nothing is reported.
void tst_TFrmMain::openingTheAlertListLeavesTheWindowAnswering()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    closeAlertList(*window);
    HungService hung;
    QVERIFY(hung.isListening());
    const ServiceHostOverride hungHost(hung.host());
    bool settingsOpened = false;
    TFrmMain::setSettingsWindow([&settingsOpened] { settingsOpened = true; });
    bool repainted = false;
    const UserWaitDriver driver([&] {
        repainted = !window->grab().isNull();
        QTest::mouseClick(window->SpeedButton7, Qt::LeftButton);
    });
    window->OpenPage(TFrmMain::PageKind::AlertList);
    TFrmMain::setSettingsWindow({});
    QVERIFY(repainted);
    QVERIFY(settingsOpened);
    QVERIFY2(driver.probeLateMs + driver.probeTookMs < 200,
             qPrintable(QStringLiteral("%1 + %2").arg(driver.probeLateMs).arg(driver.probeTookMs)));
    QVERIFY(driver.cancelled);
    QVERIFY(qobject_cast<TFormSMNC *>(window->CurrentPage));
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFrmMain::loginElsewhereEndsTheClient()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy checked(window.get(), &TFrmMain::loginCheckApplied);
    window->Timer2Timer();
    QVERIFY(checked.wait(Bound));
    QCOMPARE(m_boxes->count(), 0); // same login: nothing happens

    // The same account signs in elsewhere, as soon as the service tells the two logins apart.
    const QString firstStamp = UnitGlouble.LoginStamp;
    QTRY_VERIFY_WITH_TIMEOUT((signIn(), UnitGlouble.LoginStamp != firstStamp), Bound);
    const QString newerStamp = UnitGlouble.LoginStamp;
    UnitGlouble.LoginStamp = firstStamp; // this client still holds its own stamp
    QVERIFY(!m_service->querySql(QStringLiteral("select userid from userdl")).isEmpty());
    window->Timer1->start();
    window->Timer2Timer();
    QVERIFY(checked.wait(Bound));
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text,
             QStringLiteral("您的用户在其它地方登录或被迫下线，如有疑问请联系管理员！"));
    QCOMPARE(m_boxes->last().caption, QStringLiteral("系统错误！"));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Error);
    QVERIFY(!window->Timer1->isActive());
    QVERIFY(!window->Timer2->isActive());
    // The record is the later sign-in's: this client's end leaves it for that client.
    QCOMPARE(m_service->querySql(QStringLiteral("select userid, userdlsj from userdl")),
             QList<QStringList>({{UnitGlouble.UserId, newerStamp}}));
}

// With the service down every check fails: one box in Chinese tells of the outage, the checks
// and the poll go on behind it, and it goes by itself once the service answers again.
void tst_TFrmMain::outageIsToldByOneBox()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    auto closedHost = std::make_unique<ServiceHostOverride>(ClosedHost);
    QSignalSpy checked(window.get(), &TFrmMain::loginCheckApplied);
    for (int check = 1; check <= 3; ++check) {
        window->Timer2Timer();
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), check, Bound);
    }
    QCOMPARE(m_boxes->count(), 1);
    QVERIFY2(m_boxes->last().text.startsWith(QStringLiteral("无法连接到服务器 127.0.0.1")),
             qPrintable(m_boxes->last().text));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Error);
    QCOMPARE(m_boxes->last().owner, window.get());
    QCOMPARE(MessageBoxes::openBoxes().size(), 1);

    closedHost.reset();
    window->Timer2Timer();
    QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 4, Bound);
    QVERIFY(MessageBoxes::openBoxes().isEmpty());
    QCOMPARE(m_boxes->count(), 1);
}

// The test screen (800 x 800) is narrower than the window: its header starts on the screen,
// and a move that takes the header off brings it back.
void tst_TFrmMain::keptOnASmallScreen()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    const QRect available = window->screen()->availableGeometry();
    QVERIFY(available.width() < window->width());
    QCOMPARE(window->frameGeometry().x(), available.x());
    QVERIFY(available.contains(window->frameGeometry().topLeft()));
    window->move(available.topLeft() + QPoint(-300, -200));
    QTRY_COMPARE(window->frameGeometry().topLeft(), available.topLeft());
}

void tst_TFrmMain::closeConfirmation_data()
{
    QTest::addColumn<bool>("viaTray");
    QTest::addColumn<bool>("confirm");
    QTest::newRow("button, OK") << false << true;
    QTest::newRow("button, Cancel") << false << false;
    QTest::newRow("tray entry, OK") << true << true;
}

void tst_TFrmMain::closeConfirmation()
{
    QFETCH(bool, viaTray);
    QFETCH(bool, confirm);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    window->Timer1->start();
    m_boxes->queueAnswer(confirm ? Answer::Ok : Answer::Cancel);
    if (viaTray)
        window->N1->trigger();
    else
        QTest::mouseClick(window->SpeedButton2, Qt::LeftButton);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("是否关闭本系统？"));
    QCOMPARE(m_boxes->last().caption, QStringLiteral("提示"));
    QCOMPARE(m_boxes->last().buttons, MessageBoxes::Buttons::OkCancel);
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Information);
    const bool online = !m_service->querySql(QStringLiteral("select userid from userdl")).isEmpty();
    QCOMPARE(online, !confirm);
    QCOMPARE(window->Timer1->isActive(), !confirm); // Cancel leaves polling running; OK stops it
}

void tst_TFrmMain::homePage_data()
{
    QTest::addColumn<QString>("homePage");
    QTest::addColumn<int>("openedCount");
    QTest::newRow("address") << QStringLiteral(" http://example.com/ ") << 1;
    QTest::newRow("blank") << QStringLiteral("  ") << 0;
}

void tst_TFrmMain::homePage()
{
    QFETCH(QString, homePage);
    QFETCH(int, openedCount);
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &opened, "open");
    UnitGlouble.HomePageUrl = homePage;
    TFrmMain window;
    window.N10->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(opened.urls.size(), openedCount);
    if (openedCount)
        QCOMPARE(opened.urls.first(), QUrl(homePage.trimmed()));
}

void tst_TFrmMain::toastClickRestoresWindow()
{
    signIn();
    auto window = showMainWindowWithTimersStopped();
    window->showMinimized();
    window->PopUpNotifier1->setText(QStringLiteral("x"));
    QVERIFY(window->PopUpNotifier1->ShowPopUp());
    window->PopUpNotifier1Click();
    QVERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
    QTRY_COMPARE_WITH_TIMEOUT(window->PopUpNotifier1->PopupCount(), 0, Bound);
}

QTEST_MAIN(tst_TFrmMain)
#include "tst_TFrmMain.moc"
