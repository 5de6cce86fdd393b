#include "ClientProcess.h"
#include "ServiceFixture.h"
#include "TestCertificates.h"
#include "XDisplay.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

constexpr int StartBoundMs = 30000;
constexpr int PollPeriodSeconds = 1;

// Where the insider page's button is, relative to the main window's top-left corner.
const QPoint InsiderPageButton(100, 209);

const QString SystemErrorCaption = QStringLiteral("系统错误！");

QUrl serviceHost()
{
    return QUrl(QStringLiteral(STOCK_ALERT_SERVICE_HOST));
}

} // namespace

// The real client built for an https:// service host, against the real service speaking TLS
// with certificates made for the test: what a subscriber does goes over verified connections,
// and a certificate nobody vouches for stops the client before a password leaves it.
class tst_HttpsEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void signInPollAndInsiderPageOverHttps();
    void unknownAuthorityIsRefusedBeforeThePassword();

private:
    // Starts the service on the client's compiled-in port with a certificate of authority.
    bool startService(TestCertificates &authority);
    int requestCount(const QString &operationOrPath) const;
    int passwordCalls() const;
    void keepScreenshot(qulonglong id, const QString &name) const;

    std::unique_ptr<ServiceFixture> m_service;
};

void tst_HttpsEndToEnd::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "runs on an X display (xvfb-run)");
    QCOMPARE(serviceHost().scheme(), QStringLiteral("https"));
    QVERIFY2(QFile::exists(ClientProcess::executablePath()), qPrintable(ClientProcess::executablePath()));
    QDir().mkpath(QStringLiteral(STOCK_ALERT_SCREENSHOT_DIR));
}

void tst_HttpsEndToEnd::cleanup()
{
    if (QTest::currentTestFailed() && m_service)
        qWarning("service log:\n%s", qPrintable(m_service->serverLog().right(4000)));
    m_service.reset();
}

bool tst_HttpsEndToEnd::startService(TestCertificates &authority)
{
    if (!authority.issue(QStringLiteral("server"), QStringLiteral("localhost"))) {
        qWarning("no certificate: %s", qPrintable(authority.errorString()));
        return false;
    }
    const quint16 port = quint16(serviceHost().port());
    {
        // The client's service host is compiled in, so the service must be on exactly that port.
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, port)) {
            qWarning("port %u is taken by another program (%s): stop it and run again", port,
                     qPrintable(probe.errorString()));
            return false;
        }
    }
    m_service = std::make_unique<ServiceFixture>(
        true, QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                          QStringLiteral("--tls-cert"), authority.certificateFile(QStringLiteral("server")),
                          QStringLiteral("--tls-key"), authority.keyFile(QStringLiteral("server"))});
    if (!m_service->isRunning()) {
        qWarning("service: %s", qPrintable(m_service->errorString()));
        return false;
    }
    // The configured poll period is read at the client's start.
    return m_service->execSql(QStringLiteral("UPDATE Sys_pz SET khdsxsj=%1").arg(PollPeriodSeconds));
}

int tst_HttpsEndToEnd::requestCount(const QString &operationOrPath) const
{
    // One line per request: "<time> <peer> <method> <path> <operation> <status> <ms> ms".
    return int(m_service->serverLog().count(QLatin1Char(' ') + operationOrPath + QLatin1Char(' ')));
}

int tst_HttpsEndToEnd::passwordCalls() const
{
    // The sign-in check and the account read both carry the password.
    return requestCount(QStringLiteral("yanzheng")) + requestCount(QStringLiteral("hqdlyhxx"));
}

void tst_HttpsEndToEnd::keepScreenshot(qulonglong id, const QString &name) const
{
    if (!XDisplay::screenshot(id, QStringLiteral(STOCK_ALERT_SCREENSHOT_DIR "/") + name))
        qWarning("no screenshot %s: %s", qPrintable(name), qPrintable(XDisplay::lastError()));
}

void tst_HttpsEndToEnd::signInPollAndInsiderPageOverHttps()
{
    TestCertificates authority;
    QVERIFY2(authority.isValid(), qPrintable(authority.errorString()));
    QVERIFY(startService(authority));

    ClientProcess client;
    QVERIFY2(client.trustAuthority(authority.authorityFile()), qPrintable(client.errorString()));
    QVERIFY2(client.rememberCredentials(QStringLiteral("demo"), QStringLiteral("demo")) && client.start() &&
                 client.signInWithKeys(StartBoundMs),
             qPrintable(client.errorString()));
    // The port speaks nothing but TLS: every request the service logged came that way.
    QVERIFY2(passwordCalls() > 0, "the sign-in reached the service without its password calls");

    const int polls = requestCount(QStringLiteral("ifchangetable"));
    QVERIFY2(
        QTest::qWaitFor([&] { return requestCount(QStringLiteral("ifchangetable")) > polls; }, StartBoundMs),
        "the client does not poll");

    QVERIFY2(XDisplay::click(client.mainWindow(), InsiderPageButton), qPrintable(XDisplay::lastError()));
    QVERIFY2(
        QTest::qWaitFor([&] { return requestCount(QStringLiteral("/GongGaoXinXi.aspx")) > 0; }, StartBoundMs),
        qPrintable(QStringLiteral("the insider page was not asked for; client log:\n%1")
                       .arg(client.log().right(2000))));
    QVERIFY2(m_service->serverLog().contains(QStringLiteral(" GET /GongGaoXinXi.aspx - 200 ")),
             "the insider page was not answered");
    keepScreenshot(client.mainWindow().id, QStringLiteral("https-insider-page.png"));
    QVERIFY2(client.otherWindows().isEmpty() || !client.windowNamed(SystemErrorCaption),
             "a message came up with the insider page");
    QVERIFY(client.isRunning());
}

void tst_HttpsEndToEnd::unknownAuthorityIsRefusedBeforeThePassword()
{
    // The service's certificate comes from an authority the client has never heard of; the
    // client trusts another one.
    TestCertificates stranger(QStringLiteral("Stranger CA"));
    TestCertificates trusted;
    QVERIFY2(stranger.isValid() && trusted.isValid(),
             qPrintable(stranger.errorString() + trusted.errorString()));
    QVERIFY(startService(stranger));

    ClientProcess client;
    QVERIFY2(client.trustAuthority(trusted.authorityFile()), qPrintable(client.errorString()));
    QVERIFY2(client.rememberCredentials(QStringLiteral("demo"), QStringLiteral("demo")) && client.start(),
             qPrintable(client.errorString()));

    std::optional<XDisplay::Window> message;
    QVERIFY2(
        QTest::qWaitFor([&] { return (message = client.windowNamed(SystemErrorCaption)).has_value(); },
                        StartBoundMs),
        qPrintable(QStringLiteral("no message about the certificate; client log:\n%1").arg(client.log())));
    keepScreenshot(message->id, QStringLiteral("https-unknown-authority.png"));
    // The client did knock: its refused handshake is in the service's log, and nothing after it.
    QVERIFY2(QTest::qWaitFor([&] { return m_service->serverLog().contains(QStringLiteral(" - - - 400 ")); },
                             StartBoundMs),
             qPrintable(m_service->serverLog()));
    QCOMPARE(passwordCalls(), 0);
    QCOMPARE(requestCount(QStringLiteral("/WebService.asmx")), 0);
    QVERIFY(!client.windowNamed(QStringLiteral("登录窗体")));
}

QTEST_GUILESS_MAIN(tst_HttpsEndToEnd)
#include "tst_HttpsEndToEnd.moc"
