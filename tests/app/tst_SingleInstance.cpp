#include "ClientServiceFixture.h"
#include "MainWindowWithTimersStopped.h"
#include "ModalWindowWait.h"
#include "ServiceClient.h"
#include "SingleInstance.h"
#include "StartUpRun.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitMain.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

constexpr int Bound = 15000;

// What a crashed client leaves: a socket file that nobody listens on any more.
bool leaveStaleSocket(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd); // without unlink: the file stays
    return bound && QFile::exists(path);
}

TFrmMain *mainWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *main = qobject_cast<TFrmMain *>(window))
            return main;
    }
    return nullptr;
}

} // namespace

// Two client processes on one X display against the real service: the second start exits at
// once without signing in, and the first comes to the front.
class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void secondStartRaisesTheFirst_data();
    void secondStartRaisesTheFirst();
    void otherServiceHostIsAnotherClient();

private:
    int signIns() const { return m_client->service().serverLog().count(QStringLiteral(" yanzheng ")); }

    std::unique_ptr<ClientServiceFixture> m_client;
    ModalWindowWait m_login;
};

void tst_SingleInstance::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"), "runs on an X display (xvfb-run)");
    QVERIFY2(QFile::exists(QStringLiteral(SECOND_START_PATH)), SECOND_START_PATH);
}

void tst_SingleInstance::init()
{
    UnitGlouble = GlobalState{};
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_login.whenModal<TFrmLogin>([](TFrmLogin *login) {
        login->Edit1->setText(QStringLiteral("demo"));
        login->Edit2->setText(QStringLiteral("demo"));
        QTest::mouseClick(login->SpeedButton1, Qt::LeftButton);
    });
}

void tst_SingleInstance::cleanup()
{
    QVERIFY(!m_login.timedOut());
    m_login.cancel();
    m_client.reset();
}

void tst_SingleInstance::secondStartRaisesTheFirst_data()
{
    QTest::addColumn<bool>("staleSocket");
    QTest::newRow("first start") << false;
    QTest::newRow("after a crash left its socket") << true;
}

void tst_SingleInstance::secondStartRaisesTheFirst()
{
    QFETCH(bool, staleSocket);
    const QString host = ServiceClient::serviceHost();
    if (staleSocket)
        QVERIFY(leaveStaleSocket(SingleInstance::socketPath(host)));

    bool loopRan = false;
    const int code = runStartUp(
        true,
        [&] {
            TFrmMain *window = mainWindow();
            QVERIFY(window);
            stopPollTimers(*window);
            window->showMinimized();
            QTRY_VERIFY_WITH_TIMEOUT(window->isMinimized(), Bound);
            QCOMPARE(signIns(), 1);

            QProcess second;
            QSignalSpy finished(&second, &QProcess::finished);
            second.start(QStringLiteral(SECOND_START_PATH), {host});
            QVERIFY(finished.wait(Bound));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QTRY_VERIFY_WITH_TIMEOUT(window->isVisible() && !window->isMinimized(), Bound);
            QCOMPARE(signIns(), 1);
            window->FormDestroy();
        },
        &loopRan);
    QCOMPARE(code, 0);
    QVERIFY(loopRan);
    // The first client's end takes its socket along: nothing is left to look stale.
    QVERIFY(!QFile::exists(SingleInstance::socketPath(host)));
}

// The guard is per service host: a client of another service does not count.
void tst_SingleInstance::otherServiceHostIsAnotherClient()
{
    QVERIFY(SingleInstance::socketPath(QStringLiteral("http://127.0.0.1:8765")) !=
            SingleInstance::socketPath(QStringLiteral("http://127.0.0.1:8766")));
    SingleInstance first(QStringLiteral("http://127.0.0.1:8765"));
    QVERIFY(first.claim());
    SingleInstance other(QStringLiteral("http://127.0.0.1:8766"));
    QVERIFY(other.claim());
    SingleInstance again(QStringLiteral("http://127.0.0.1:8765"));
    QSignalSpy raised(&first, &SingleInstance::activationRequested);
    QVERIFY(!again.claim());
    QVERIFY(raised.wait(Bound));
}

QTEST_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
