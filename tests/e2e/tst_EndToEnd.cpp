#include "ClientProcess.h"
#include "ServiceFixture.h"
#include "XDisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

// Bounds for what a loaded machine may take: start-up, sign-in, the client's exit.
constexpr int StartBoundMs = 30000;
constexpr int ExitBoundMs = 15000;
// The poll period the tests give the demo data, and what a toast may take beyond it.
constexpr int PollPeriodSeconds = 1;
constexpr int ToastSlackMs = 1000;
// What the change stream must bring a toast within, whatever the poll period.
constexpr int InstantToastBoundMs = 1000;
// The login-elsewhere check runs every 15 s.
constexpr int LoginCheckPeriodMs = 15000;
// How long the newer of two clients of one account is watched after the older one ended.
constexpr int SecondClientWatchMs = 30000;

// Where the main window's controls are, relative to its top-left corner.
const QPoint CloseButton(990, 14);
const QPoint NewsPageButton(100, 272);

const QString DemoUserId = QStringLiteral("1"); // demo / demo

QUrl serviceHost()
{
    return QUrl(QStringLiteral(STOCK_ALERT_SERVICE_HOST));
}

} // namespace

// The real client and the real service as separate processes on an X display: the client is
// driven by keys and clicks from outside, the service by its operator commands, and what the
// client did is read from the screen and from the service's database and request log.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void signInWithKeysAndTerminate();
    void closeConfirmationEndsTheClient();
    void toastWithListClosedAndListRefreshedWhenOpen();
    void secondSignInElsewhereEndsTheFirst();
    void serviceOutageIsRiddenOut();
    void instantToastWithSlowPolling();
    void outageIsToldOnceAndTheBoxGoes();

private:
    bool startSignedIn(ClientProcess &client);
    bool onlineRowExists() const;
    int requestCount(const QString &operation) const { return requestCount(*m_service, operation); }
    static int requestCount(const ServiceFixture &service, const QString &operation);
    static int streamsOpened(const ServiceFixture &service)
    {
        return int(service.serverLog().count(QStringLiteral(" GET /events - 200 ")));
    }
    bool waitUntilNoToast(const ClientProcess &client)
    {
        return QTest::qWaitFor([&] { return client.otherWindows().isEmpty(); }, 20000);
    }
    bool publishStockAlert(const QString &code);
    // Waits for a client window other than the main window (a toast) until the deadline.
    std::optional<XDisplay::Window> waitForToast(const ClientProcess &client, int timeoutMs);
    QString screenshotPath(const QString &name) const;
    void keepScreenshot(qulonglong id, const QString &name) const;

    std::unique_ptr<ServiceFixture> m_service;
    QString m_listen;
};

void tst_EndToEnd::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "runs on an X display (xvfb-run)");
    const QUrl host = serviceHost();
    const QHostAddress address(host.host());
    if (!address.isLoopback())
        QSKIP(qPrintable(QStringLiteral("the client is built for the service host %1, not a loopback "
                                        "address this test can serve")
                             .arg(host.toString())));
    m_listen = host.host() + QLatin1Char(':') + QString::number(host.port(80));
    QVERIFY2(QFile::exists(ClientProcess::executablePath()), qPrintable(ClientProcess::executablePath()));
    QDir().mkpath(screenshotPath(QString()));
}

void tst_EndToEnd::init()
{
    // The client's service host is compiled in, so the service must be on exactly that port.
    {
        QTcpServer probe;
        const QUrl host = serviceHost();
        QVERIFY2(probe.listen(QHostAddress(host.host()), quint16(host.port(80))),
                 qPrintable(QStringLiteral("the port of the client's service host %1 is taken by another "
                                           "program (%2): stop it and run again")
                                .arg(host.toString(), probe.errorString())));
    }
    m_service = std::make_unique<ServiceFixture>(true, QStringList{QStringLiteral("--listen"), m_listen});
    QVERIFY2(m_service->isRunning(), qPrintable(m_service->errorString()));
    // The configured poll period is read at the client's start.
    QVERIFY(m_service->execSql(QStringLiteral("UPDATE Sys_pz SET khdsxsj=%1").arg(PollPeriodSeconds)));
}

void tst_EndToEnd::cleanup()
{
    if (QTest::currentTestFailed() && m_service)
        qWarning("service log:\n%s", qPrintable(m_service->serverLog().right(4000)));
    m_service.reset();
}

bool tst_EndToEnd::startSignedIn(ClientProcess &client)
{
    return client.rememberCredentials(QStringLiteral("demo"), QStringLiteral("demo")) && client.start() &&
           client.signInWithKeys(StartBoundMs);
}

bool tst_EndToEnd::onlineRowExists() const
{
    return !m_service->querySql(QStringLiteral("SELECT userid FROM userdl WHERE userid=%1").arg(DemoUserId))
                .isEmpty();
}

int tst_EndToEnd::requestCount(const ServiceFixture &service, const QString &operation)
{
    // One line per request: "<peer> POST /WebService.asmx <operation> <status> <time>".
    return int(
        service.serverLog().count(QStringLiteral(" /WebService.asmx ") + operation + QLatin1Char(' ')));
}

bool tst_EndToEnd::publishStockAlert(const QString &code)
{
    QString output;
    const int rc =
        m_service->runCommand({QStringLiteral("publish"), QStringLiteral("stock"), QStringLiteral("--code"),
                               code, QStringLiteral("--name"), QStringLiteral("浦发银行"),
                               QStringLiteral("--op"), QStringLiteral("买入"), QStringLiteral("--reason"),
                               QStringLiteral("放量突破"), QStringLiteral("--level"), QStringLiteral("3")},
                              &output);
    if (rc != 0)
        qWarning("publish failed: %s", qPrintable(output));
    return rc == 0;
}

std::optional<XDisplay::Window> tst_EndToEnd::waitForToast(const ClientProcess &client, int timeoutMs)
{
    std::optional<XDisplay::Window> toast;
    if (!QTest::qWaitFor(
            [&] {
                const QList<XDisplay::Window> others = client.otherWindows();
                if (!others.isEmpty())
                    toast = others.first();
                return toast.has_value();
            },
            timeoutMs))
        return std::nullopt;
    return toast;
}

QString tst_EndToEnd::screenshotPath(const QString &name) const
{
    return QStringLiteral(STOCK_ALERT_SCREENSHOT_DIR "/") + name;
}

void tst_EndToEnd::keepScreenshot(qulonglong id, const QString &name) const
{
    if (!XDisplay::screenshot(id, screenshotPath(name)))
        qWarning("no screenshot %s: %s", qPrintable(name), qPrintable(XDisplay::lastError()));
}

void tst_EndToEnd::signInWithKeysAndTerminate()
{
    ClientProcess client;
    QVERIFY2(startSignedIn(client), qPrintable(client.errorString()));
    QVERIFY2(QTest::qWaitFor([&] { return onlineRowExists(); }, StartBoundMs),
             "signing in wrote no online row");
    keepScreenshot(client.mainWindow().id, QStringLiteral("main-window.png"));

    // SIGTERM ends the client as its own exit does: the online row goes with it.
    client.terminate();
    QVERIFY2(client.waitForExit(ExitBoundMs), "the client did not end on SIGTERM");
    QVERIFY2(client.exitedNormally(), qPrintable(client.log()));
    QVERIFY2(!onlineRowExists(), "the online row is still there after SIGTERM");
}

void tst_EndToEnd::closeConfirmationEndsTheClient()
{
    ClientProcess client;
    QVERIFY2(startSignedIn(client), qPrintable(client.errorString()));
    QVERIFY2(QTest::qWaitFor([&] { return onlineRowExists(); }, StartBoundMs),
             "signing in wrote no online row");

    QVERIFY2(XDisplay::click(client.mainWindow(), CloseButton), qPrintable(XDisplay::lastError()));
    std::optional<XDisplay::Window> confirmation;
    QVERIFY2(QTest::qWaitFor(
                 [&] { return (confirmation = client.windowNamed(QStringLiteral("提示"))).has_value(); },
                 StartBoundMs),
             "no close confirmation");
    keepScreenshot(confirmation->id, QStringLiteral("close-confirmation.png"));
    QVERIFY2(client.isRunning() && onlineRowExists(),
             "the client ended before the confirmation was answered");

    // Enter answers OK, the default button.
    QVERIFY2(XDisplay::sendKeys(confirmation->id, {QStringLiteral("Return")}),
             qPrintable(XDisplay::lastError()));
    QVERIFY2(client.waitForExit(ExitBoundMs), "the client did not end after OK");
    QVERIFY2(client.exitedNormally(), qPrintable(client.log()));
    QVERIFY2(!onlineRowExists(), "the online row is still there after the client ended");
}

void tst_EndToEnd::toastWithListClosedAndListRefreshedWhenOpen()
{
    ClientProcess client;
    QVERIFY2(startSignedIn(client), qPrintable(client.errorString()));
    // Toasts of the items published before the sign-in are not what this test is about.
    // They may come or not, depending on the first tick's phase: the wait is only a pause.
    (void)QTest::qWaitFor([&] { return !client.otherWindows().isEmpty(); }, 2 * PollPeriodSeconds * 1000);
    QVERIFY2(QTest::qWaitFor([&] { return client.otherWindows().isEmpty(); }, 20000),
             "an earlier toast stays on the screen");

    // The alert list page is open after the sign-in: a new alert refills its grids (the
    // today's and the latest alerts) and is announced.
    const int fillsBefore = requestCount(QStringLiteral("hqsametable"));
    QVERIFY(publishStockAlert(QStringLiteral("600000")));
    QVERIFY2(QTest::qWaitFor([&] { return requestCount(QStringLiteral("hqsametable")) >= fillsBefore + 2; },
                             PollPeriodSeconds * 1000 + ToastSlackMs),
             "the open alert list page was not refilled");
    QVERIFY2(waitForToast(client, PollPeriodSeconds * 1000 + ToastSlackMs),
             "no toast with the list page open");
    QVERIFY2(QTest::qWaitFor([&] { return client.otherWindows().isEmpty(); }, 20000), "the toast stays");

    // A web page in its place closes the alert list page.
    QVERIFY2(XDisplay::click(client.mainWindow(), NewsPageButton), qPrintable(XDisplay::lastError()));
    // The web pages' library loads on this first web page, and the page's renderer starts.
    QVERIFY2(QTest::qWaitFor([&] { return client.hasChildProcess("QtWebEngineProc"); }, StartBoundMs),
             qPrintable(QStringLiteral("the news page did not start a web engine process; client log:\n%1")
                            .arg(client.log().right(2000))));
    QVERIFY2(client.otherWindows().isEmpty(), "a window came up with the news page");
    // Opening the page makes no fill of its own; wait until the client is idle again.
    QTest::qWait(2 * PollPeriodSeconds * 1000);

    const int queriesBefore = requestCount(QStringLiteral("hqsametable"));
    QElapsedTimer sincePublish;
    sincePublish.start();
    QVERIFY(publishStockAlert(QStringLiteral("600036")));
    const auto toast = waitForToast(client, PollPeriodSeconds * 1000 + ToastSlackMs);
    const qint64 latency = sincePublish.elapsed();
    keepScreenshot(0, QStringLiteral("screen-with-toast.png"));
    QVERIFY2(toast.has_value(),
             qPrintable(QStringLiteral("no toast within %1 ms of publishing with the list page closed")
                            .arg(PollPeriodSeconds * 1000 + ToastSlackMs)));
    keepScreenshot(toast->id, QStringLiteral("toast.png"));
    qInfo("toast %lld ms after publishing, window %llu %dx%d", latency, toast->id, toast->geometry.width(),
          toast->geometry.height());
    // With the page closed only the newest alert is read: one query, no grid fills.
    QCOMPARE(requestCount(QStringLiteral("hqsametable")) - queriesBefore, 1);
    QVERIFY(client.isRunning());
}

void tst_EndToEnd::secondSignInElsewhereEndsTheFirst()
{
    ClientProcess first;
    QVERIFY2(startSignedIn(first), qPrintable(first.errorString()));
    QVERIFY2(QTest::qWaitFor([&] { return onlineRowExists(); }, StartBoundMs), "no online row");
    const QString firstStamp =
        m_service->querySql(QStringLiteral("SELECT userdlsj FROM userdl WHERE userid=%1").arg(DemoUserId))
            .value(0)
            .value(0);

    // The same account on another machine: another user's home on the same display.
    ClientProcess second;
    QVERIFY2(startSignedIn(second), qPrintable(second.errorString()));

    std::optional<XDisplay::Window> message;
    QVERIFY2(QTest::qWaitFor(
                 [&] { return (message = first.windowNamed(QStringLiteral("系统错误！"))).has_value(); },
                 LoginCheckPeriodMs + 10000),
             "the first client showed no message about the sign-in elsewhere");
    keepScreenshot(message->id, QStringLiteral("signed-in-elsewhere.png"));
    QVERIFY2(second.otherWindows().isEmpty() || !second.windowNamed(QStringLiteral("系统错误！")),
             "the second client was told it was signed in elsewhere");

    const QString secondStamp =
        m_service->querySql(QStringLiteral("SELECT userdlsj FROM userdl WHERE userid=%1").arg(DemoUserId))
            .value(0)
            .value(0);
    QVERIFY2(XDisplay::sendKeys(message->id, {QStringLiteral("Return")}), qPrintable(XDisplay::lastError()));
    QVERIFY2(first.waitForExit(ExitBoundMs), "the first client did not end after its message");
    QVERIFY2(first.exitedNormally(), qPrintable(first.log()));
    QVERIFY2(!firstStamp.isEmpty() && secondStamp != firstStamp,
             "the two sign-ins had no login times of their own");

    // The first client's end leaves the second sign-in's record, so the second client's checks
    // keep finding its own login time: after two of them it still runs, with no message.
    const int checksBefore = requestCount(QStringLiteral("hqdlsj"));
    QElapsedTimer sinceFirstEnded;
    sinceFirstEnded.start();
    while (sinceFirstEnded.elapsed() < SecondClientWatchMs) {
        QVERIFY2(second.isRunning(),
                 qPrintable(QStringLiteral("the second client ended %1 ms after the first; log:\n%2")
                                .arg(sinceFirstEnded.elapsed())
                                .arg(second.log().right(2000))));
        QVERIFY2(!second.windowNamed(QStringLiteral("系统错误！")),
                 "the second client was told it was signed in elsewhere");
        QTest::qWait(500);
    }
    QVERIFY2(requestCount(QStringLiteral("hqdlsj")) >= checksBefore + 2,
             "the second client made no two checks");
    const QString stampNow =
        m_service->querySql(QStringLiteral("SELECT userdlsj FROM userdl WHERE userid=%1").arg(DemoUserId))
            .value(0)
            .value(0);
    QCOMPARE(stampNow, secondStamp);
}

void tst_EndToEnd::serviceOutageIsRiddenOut()
{
    ClientProcess client;
    QVERIFY2(startSignedIn(client), qPrintable(client.errorString()));
    // They may come or not, depending on the first tick's phase: the wait is only a pause.
    (void)QTest::qWaitFor([&] { return !client.otherWindows().isEmpty(); }, 2 * PollPeriodSeconds * 1000);
    QVERIFY2(QTest::qWaitFor([&] { return client.otherWindows().isEmpty(); }, 20000),
             "an earlier toast stays on the screen");

    // The outage starts right after a login-elsewhere check, whose failure is reported by design,
    // and ends well before the next: what is left to fail is the poll, which stays silent.
    const int checks = requestCount(QStringLiteral("hqdlsj"));
    QVERIFY2(QTest::qWaitFor([&] { return requestCount(QStringLiteral("hqdlsj")) > checks; },
                             LoginCheckPeriodMs + 5000),
             "no login-elsewhere check");
    QElapsedTimer outage;
    outage.start();
    QVERIFY(m_service->stop() == 0);

    // Several poll periods without the service: no message, no crash.
    QTest::qWait(4 * PollPeriodSeconds * 1000);
    QVERIFY2(client.isRunning(), qPrintable(client.log()));
    const QList<XDisplay::Window> during = client.otherWindows();
    if (!during.isEmpty())
        keepScreenshot(during.first().id, QStringLiteral("outage-message.png"));
    QVERIFY2(during.isEmpty(),
             qPrintable(QStringLiteral("a window appeared during the outage: ") + during.value(0).name));

    // The service back on the same database and port.
    ServiceFixture back(*m_service, {QStringLiteral("--listen"), m_listen});
    QVERIFY2(back.isRunning(), qPrintable(back.errorString()));
    QVERIFY2(outage.elapsed() < LoginCheckPeriodMs - 2000, "the outage ran into the next login check");
    QVERIFY2(QTest::qWaitFor([&] { return requestCount(back, QStringLiteral("ifchangetable")) > 0; },
                             PollPeriodSeconds * 1000 + ToastSlackMs),
             "polling did not resume");
    QVERIFY(publishStockAlert(QStringLiteral("000651")));
    const auto toast = waitForToast(client, PollPeriodSeconds * 1000 + ToastSlackMs);
    QVERIFY2(toast.has_value(), "no toast after the service came back");
    QVERIFY(client.isRunning());
}

void tst_EndToEnd::instantToastWithSlowPolling()
{
    // A poll period far longer than the bound: only the change stream can bring the toast
    // in time.
    QVERIFY(m_service->execSql(QStringLiteral("UPDATE Sys_pz SET khdsxsj=60")));
    ClientProcess client;
    QVERIFY2(startSignedIn(client), qPrintable(client.errorString()));
    QVERIFY2(QTest::qWaitFor([&] { return streamsOpened(*m_service) > 0; }, StartBoundMs),
             "the client opened no change stream");
    QVERIFY2(waitUntilNoToast(client), "an earlier toast stays on the screen");

    QElapsedTimer sincePublish;
    sincePublish.start();
    QVERIFY(publishStockAlert(QStringLiteral("600519")));
    QVERIFY2(waitForToast(client, InstantToastBoundMs), "no toast within 1 s with a 60 s poll period");
    qInfo("toast %lld ms after publishing", sincePublish.elapsed());
    QVERIFY2(waitUntilNoToast(client), "the toast stays");

    // The service lost and started again: the client opens the stream again by itself.
    m_service->kill();
    ServiceFixture back(*m_service, {QStringLiteral("--listen"), m_listen});
    QVERIFY2(back.isRunning(), qPrintable(back.errorString()));
    QVERIFY2(QTest::qWaitFor([&] { return streamsOpened(back) > 0; }, StartBoundMs),
             "the client did not open the change stream again");
    QVERIFY2(waitUntilNoToast(client), "a toast stays on the screen");
    sincePublish.restart();
    QVERIFY(publishStockAlert(QStringLiteral("000858")));
    QVERIFY2(waitForToast(client, InstantToastBoundMs), "no toast within 1 s after the service came back");
    qInfo("toast %lld ms after publishing, service restarted", sincePublish.elapsed());
    QVERIFY(client.isRunning());
}

// An outage that spans login-elsewhere checks: one box in Chinese, however many checks fail,
// and the box goes by itself once the service answers again.
void tst_EndToEnd::outageIsToldOnceAndTheBoxGoes()
{
    ClientProcess client;
    QVERIFY2(startSignedIn(client), qPrintable(client.errorString()));
    (void)QTest::qWaitFor([&] { return !client.otherWindows().isEmpty(); }, 2 * PollPeriodSeconds * 1000);
    QVERIFY2(QTest::qWaitFor([&] { return client.otherWindows().isEmpty(); }, 20000),
             "an earlier toast stays on the screen");

    QVERIFY(m_service->stop() == 0);
    const QString title = QStringLiteral("智能股票预警系统"); // the demo's system name: the box's caption
    // The main window bears the same name: the box is the other window that does.
    std::optional<XDisplay::Window> box;
    const auto findBox = [&] {
        for (const XDisplay::Window &window : client.otherWindows()) {
            if (window.name == title)
                box = window;
        }
        return box.has_value();
    };
    QVERIFY2(QTest::qWaitFor(findBox, LoginCheckPeriodMs + 10000), "no box told of the outage");
    keepScreenshot(box->id, QStringLiteral("outage-box.png"));
    // Its caption as written, nothing appended: the name above is compared whole.

    // Two more checks fail behind it: still the one box.
    QElapsedTimer twoChecks;
    twoChecks.start();
    while (twoChecks.elapsed() < 2 * LoginCheckPeriodMs + 2000) {
        QCOMPARE(client.otherWindows().size(), 1);
        QVERIFY(client.isRunning());
        QTest::qWait(500);
    }

    ServiceFixture back(*m_service, {QStringLiteral("--listen"), m_listen});
    QVERIFY2(back.isRunning(), qPrintable(back.errorString()));
    QVERIFY2(QTest::qWaitFor([&] { return !XDisplay::exists(box->id) || client.otherWindows().isEmpty(); },
                             LoginCheckPeriodMs + 10000),
             "the box stayed after the service came back");
    QVERIFY(client.isRunning());
}

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
