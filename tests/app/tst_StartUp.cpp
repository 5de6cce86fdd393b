#include "ClientServiceFixture.h"
#include "DefaultErrorReport.h"
#include "ModalWindowWait.h"
#include "NetworkState.h"
#include "PageRegistry.h"
#include "StartUpRun.h"
#include "StockAlertApplication.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitMain.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <stdexcept>

using Answer = MessageBoxes::Answer;

class tst_StartUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void noNetwork();
    void missingConfigurationEndsBeforeLogin();
    void successfulLoginShowsMainWindow();
    void closingLoginEndsProgram();
    void errorInLoginReachesDefaultReport();

    void defaultReportText_data();
    void defaultReportText();
    void errorEscapingHandlerIsReported();
    void missingWebPagesLibraryIsReported();

    void loopbackHost_data();
    void loopbackHost();

private:
    int serverRequests() const;

    std::unique_ptr<ClientServiceFixture> m_client;
    ServiceFixture *m_service = nullptr;
    MessageBoxRecorder *m_boxes = nullptr;
    ModalWindowWait m_login;
};

void tst_StartUp::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_StartUp::init()
{
    UnitGlouble = GlobalState{};
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_service = &m_client->service();
    m_boxes = &m_client->boxes();
}

void tst_StartUp::cleanup()
{
    QVERIFY(!m_login.timedOut());
    m_login.cancel();
    m_client.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

int tst_StartUp::serverRequests() const
{
    return m_service->serverLog().count(QLatin1Char('\n'));
}

void tst_StartUp::noNetwork()
{
    int windowsDuringBox = -1;
    m_boxes->onShow(
        [&](const MessageBoxes::Request &) { windowsDuringBox = QApplication::topLevelWidgets().size(); });
    const int requestsBefore = serverRequests();
    bool loopRan = false;
    QCOMPARE(runStartUp(false, {}, &loopRan), 0);

    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxes::Request &box = m_boxes->last();
    QCOMPARE(box.kind, MessageBoxes::Kind::System);
    QCOMPARE(box.owner, nullptr);
    QCOMPARE(box.text, QStringLiteral("没有连接上网络请先连接网络再打开本软件，请关闭!"));
    QCOMPARE(box.caption, QStringLiteral("提示"));
    QCOMPARE(box.icon, MessageBoxes::Icon::None);
    QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
    QCOMPARE(windowsDuringBox, 0);
    QVERIFY(!loopRan);
    QVERIFY(UnitGlouble.AppDir.isEmpty()); // not even the data module was created
    QCOMPARE(serverRequests(), requestsBefore);
}

void tst_StartUp::missingConfigurationEndsBeforeLogin()
{
    QVERIFY(m_service->execSql(QStringLiteral("delete from Sys_pz")));
    bool loginOffered = false;
    m_login.whenModal<TFrmLogin>([&](TFrmLogin *login) {
        loginOffered = true;
        login->done(TFrmLogin::mrCancel);
    });
    bool loopRan = false;
    QCOMPARE(runStartUp(true, {}, &loopRan), 0);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("系统错误，请在后台先维护系统配置信息！"));
    QVERIFY(!loginOffered);
    QVERIFY(!loopRan);
}

void tst_StartUp::successfulLoginShowsMainWindow()
{
    m_login.whenModal<TFrmLogin>([](TFrmLogin *login) {
        login->Edit1->setText(QStringLiteral("demo"));
        login->Edit2->setText(QStringLiteral("demo"));
        QTest::mouseClick(login->SpeedButton1, Qt::LeftButton);
    });
    bool mainShown = false;
    bool loginGone = false;
    QList<QStringList> onlineWhileRunning;
    const int code = runStartUp(true, [&] {
        onlineWhileRunning = m_service->querySql(QStringLiteral("select userzh from userdl"));
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (qobject_cast<TFrmMain *>(window))
                mainShown = window->isVisible();
        }
        loginGone = std::none_of(windows.begin(), windows.end(), [](QWidget *window) {
            return qobject_cast<TFrmLogin *>(window) != nullptr;
        });
    });
    QCOMPARE(code, 0);
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(mainShown);
    QVERIFY(loginGone);
    QCOMPARE(UnitGlouble.AppDir, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    QCOMPARE(UnitGlouble.UserName, QStringLiteral("demo"));
    QCOMPARE(onlineWhileRunning, (QList<QStringList>{{QStringLiteral("demo")}}));
    // The program's end removed the online record.
    QVERIFY(m_service->querySql(QStringLiteral("select userzh from userdl")).isEmpty());
}

void tst_StartUp::closingLoginEndsProgram()
{
    m_login.whenModal<TFrmLogin>(
        [](TFrmLogin *login) { QTest::mouseClick(login->SpeedButton3, Qt::LeftButton); });
    m_boxes->queueAnswer(Answer::Ok);
    bool loopRan = false;
    QCOMPARE(runStartUp(true, {}, &loopRan), 0);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("是否关闭本系统？"));
    QVERIFY(!loopRan);
    QCOMPARE(UnitGlouble.UserLevel, QStringLiteral("3"));
    QVERIFY(m_service->querySql(QStringLiteral("select userid from userdl")).isEmpty());
}

// Writing the online record fails: the error's own text is reported over the still open login
// window, which can then be closed as usual.
void tst_StartUp::errorInLoginReachesDefaultReport()
{
    QVERIFY(m_service->execSql(QStringLiteral("drop table userdl")));
    bool stillOpen = false;
    m_login.whenModal<TFrmLogin>([&](TFrmLogin *login) {
        login->Edit1->setText(QStringLiteral("demo"));
        login->Edit2->setText(QStringLiteral("demo"));
        QTest::mouseClick(login->SpeedButton1, Qt::LeftButton);
        stillOpen = login->isVisible() && login->result() == 0;
        QTest::mouseClick(login->SpeedButton3, Qt::LeftButton);
    });
    QCOMPARE(runStartUp(true), 0);
    QVERIFY(stillOpen);
    QCOMPARE(m_boxes->count(), 2);
    const MessageBoxes::Request &report = m_boxes->requests().first();
    QCOMPARE(report.kind, MessageBoxes::Kind::Application);
    QCOMPARE(report.caption, UnitGlouble.SystemName);
    QCOMPARE(report.icon, MessageBoxes::Icon::Error);
    QVERIFY2(report.text.startsWith(QStringLiteral("Server was unable to process request.")),
             qPrintable(report.text));
    QCOMPARE(m_boxes->last().text, QStringLiteral("是否关闭本系统？"));
    // Block A had already run: the account values stay as read.
    QCOMPARE(UnitGlouble.UserName, QStringLiteral("demo"));
}

void tst_StartUp::defaultReportText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letter") << QStringLiteral("Connection refused") << QStringLiteral("Connection refused.");
    QTest::newRow("Chinese") << QStringLiteral("连接失败") << QStringLiteral("连接失败.");
    QTest::newRow("full stop") << QStringLiteral("Done.") << QStringLiteral("Done.");
    QTest::newRow("hyphen sorts before") << QStringLiteral("a -") << QStringLiteral("a -");
    QTest::newRow("exclamation sorts before") << QStringLiteral("Error!") << QStringLiteral("Error!");
    QTest::newRow("slash sorts after") << QStringLiteral("URL:/") << QStringLiteral("URL:/.");
    QTest::newRow("digit") << QStringLiteral("(404)") << QStringLiteral("(404)");
    QTest::newRow("quote") << QStringLiteral("'x'") << QStringLiteral("'x'");
    QTest::newRow("empty") << QString() << QString();
}

void tst_StartUp::defaultReportText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(DefaultErrorReport::text(message), shown);
}

void tst_StartUp::errorEscapingHandlerIsReported()
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("测试系统"));
    QEventLoop loop;
    bool laterEventRan = false;
    QTimer::singleShot(0, this, [] { throw std::runtime_error("文件无法打开"); });
    QTimer::singleShot(0, this, [&] {
        laterEventRan = true;
        loop.quit();
    });
    loop.exec();
    QVERIFY(laterEventRan);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("文件无法打开."));
    QCOMPARE(m_boxes->last().caption, QStringLiteral("测试系统"));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Error);
    QCOMPARE(m_boxes->last().buttons, MessageBoxes::Buttons::Ok);
}

// No web pages' library beside this program: the page button's handler reports the loader's
// reason and the window goes on without a page.
void tst_StartUp::missingWebPagesLibraryIsReported()
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("测试系统"));
    registerPages();
    {
        TFrmMain window;
        QTest::mouseClick(window.SpeedButton5, Qt::LeftButton);
        QCOMPARE(window.CurrentPage, nullptr);
    }
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().caption, QStringLiteral("测试系统"));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Error);
    QVERIFY2(m_boxes->last().text.startsWith(QStringLiteral("网页组件无法载入：")),
             qPrintable(m_boxes->last().text));
    QVERIFY2(m_boxes->last().text.contains(QStringLiteral("libstock-alert-webpages.so")),
             qPrintable(m_boxes->last().text));
}

void tst_StartUp::loopbackHost_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("loopback");

    QTest::newRow("127.0.0.1") << QStringLiteral("http://127.0.0.1:8765") << true;
    QTest::newRow("127.1.2.3") << QStringLiteral("http://127.1.2.3") << true;
    QTest::newRow("localhost") << QStringLiteral("http://LocalHost:80") << true;
    QTest::newRow("::1") << QStringLiteral("http://[::1]:8765") << true;
    QTest::newRow("LAN address") << QStringLiteral("http://192.168.1.10:8765") << false;
    QTest::newRow("name") << QStringLiteral("https://stock.example.com") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_StartUp::loopbackHost()
{
    QFETCH(QString, host);
    QFETCH(bool, loopback);
    QCOMPARE(NetworkState::isLoopbackHost(host), loopback);
    if (loopback)
        QVERIFY(NetworkState::isConnected(host));
}

int main(int argc, char *argv[])
{
    StockAlertApplication application(argc, argv);
    tst_StartUp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_StartUp.moc"
