#include "ApplicationTitle.h"
#include "ClientServiceFixture.h"
#include "ClosedHost.h"
#include "HttpTransport.h"
#include "HungService.h"
#include "OpenedUrls.h"
#include "PublicIPAddress.h"
#include "RememberedCredentials.h"
#include "RememberedCredentialsFile.h"
#include "ServiceClient.h"
#include "ServiceHostOverride.h"
#include "URLLabel.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitZCCT.h"
#include "UserWaitDriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <optional>
#include <stdexcept>

using Answer = MessageBoxes::Answer;

class tst_TFrmLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void configuration_data();
    void configuration();
    void configurationFailure_data();
    void configurationFailure();
    void hungServiceAtStartShowsAWindowAtOnce();
    void hungSignInLeavesTheWindowAnswering();
    void closingDuringSignInEndsQuietly();

    void freshServiceSignsIn();
    void loginWithBlanksAroundName();
    void endedSubscriptionSignsInAsPublicLevel();
    void refusedLogin_data();
    void refusedLogin();
    void secondLoginUpdatesOnlineRow();
    void apostropheInPasswordIsMatchedAsTyped();
    void rememberedCredentials();
    void uncheckedDeletesReadOnlyFile();
    void malformedFileLeavesWindowUsable_data();
    void malformedFileLeavesWindowUsable();
    void enterSignsIn_data();
    void enterSignsIn();
    void focusAfterRefusal_data();
    void focusAfterRefusal();
    void tabVisitsWhatIsShown_data();
    void tabVisitsWhatIsShown();

    void closeConfirmation_data();
    void closeConfirmation();
    void links();
    void signUpOpensModally();

    void publicAddress_data();
    void publicAddress();

private:
    std::unique_ptr<TFrmLogin> createLogin();
    // Shown and active, so that keys reach it; null when the platform did not activate it.
    std::unique_ptr<TFrmLogin> createActiveLogin();
    bool login(TFrmLogin &window, const QString &name, const QString &password);
    QString demoUserId();

    std::unique_ptr<ClientServiceFixture> m_client;
    ServiceFixture *m_service = nullptr;
    MessageBoxRecorder *m_boxes = nullptr;
    OpenedUrls m_opened;
};

void tst_TFrmLogin::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    for (const char *scheme : {"http", "https", "tencent", "file"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_opened, "open");
}

void tst_TFrmLogin::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "tencent", "file"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

void tst_TFrmLogin::init()
{
    UnitGlouble = GlobalState{};
    QGuiApplication::setApplicationDisplayName(QString());
    m_opened.urls.clear();
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_service = &m_client->service();
    m_boxes = &m_client->boxes();
    RememberedCredentialsFile::clear();
}

void tst_TFrmLogin::cleanup()
{
    m_client.reset();
}

std::unique_ptr<TFrmLogin> tst_TFrmLogin::createLogin()
{
    auto window = std::make_unique<TFrmLogin>();
    window->show();
    return window;
}

bool tst_TFrmLogin::login(TFrmLogin &window, const QString &name, const QString &password)
{
    window.Edit1->setText(name);
    window.Edit2->setText(password);
    QTest::mouseClick(window.SpeedButton1, Qt::LeftButton);
    return window.result() == TFrmLogin::mrOk;
}

QString tst_TFrmLogin::demoUserId()
{
    const auto rows = m_service->querySql(QStringLiteral("select id from UserTable where username='demo'"));
    return rows.isEmpty() ? QString() : rows.first().first();
}

void tst_TFrmLogin::configuration_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("tiering");

    QTest::newRow("demo prompt") << QString() << 405 << true;
    QTest::newRow("empty prompt") << QStringLiteral("update Sys_pz set sytsxx='', yhqyhyfj='0'") << 315
                                  << false;
    QTest::newRow("blank prompt") << QStringLiteral("update Sys_pz set sytsxx=' \r\n\t ', yhqyhyfj='True'")
                                  << 315 << true;
    QTest::newRow("missing prompt, false")
        << QStringLiteral("update Sys_pz set sytsxx=NULL, yhqyhyfj='false'") << 315 << false;
    QTest::newRow("one character") << QStringLiteral("update Sys_pz set sytsxx='x', yhqyhyfj='-1'") << 405
                                   << true;
}

void tst_TFrmLogin::configuration()
{
    QFETCH(QString, setup);
    QFETCH(int, height);
    QFETCH(bool, tiering);
    if (!setup.isEmpty())
        QVERIFY(m_service->execSql(setup));
    UnitGlouble.ChangeCounters = QStringList{QStringLiteral("stale=1")};

    TFrmLogin window;
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(!window.terminationRequested());
    QVERIFY(UnitGlouble.ChangeCounters.isEmpty());

    const auto config = m_service->querySql(
        QStringLiteral("select gpsysname, syszjxx, kfqq, ifctzqd, hqurl, khdsxsj, sytsxx from Sys_pz"));
    QCOMPARE(config.size(), 1);
    const QStringList &row = config.first();
    QCOMPARE(UnitGlouble.SystemName, row[0].trimmed());
    QCOMPARE(UnitGlouble.SystemNotice, row[1].trimmed());
    QCOMPARE(UnitGlouble.SupportQQ, row[2].trimmed());
    QCOMPARE(UnitGlouble.UserTiering, tiering);
    QCOMPARE(UnitGlouble.StayOnTop, row[3].toInt() != 0);
    // Addresses of the service's own pages come back absolute, on the host the client reached.
    QCOMPARE(UnitGlouble.HomePageUrl, m_service->host() + row[4].trimmed());
    QCOMPARE(UnitGlouble.PollIntervalSeconds, row[5].toInt());

    QCOMPARE(window.windowTitle(), UnitGlouble.SystemName + QStringLiteral(" 登录窗体"));
    // The system name is the application title, but never Qt's display name: Qt would append
    // that to every window title, message boxes' captions included.
    QCOMPARE(ApplicationTitle::text(), UnitGlouble.SystemName);
    QVERIFY(QGuiApplication::applicationDisplayName() != UnitGlouble.SystemName);
    QCOMPARE(window.URLLabel3->url(), QStringLiteral("tencent://message/?uin=") + UnitGlouble.SupportQQ);
    QCOMPARE(window.height(), height);
    QCOMPARE(window.width(), 510);
    QCOMPARE(window.Memo1->toPlainText(), row[6].trimmed());
    // The prompt group and the home button lie inside the window only at full height.
    QCOMPARE(window.rect().contains(window.GroupBox1->geometry()), height == 405);
    QCOMPARE(window.rect().intersects(window.SpeedButton2->geometry()), height == 405);

    const auto pages =
        m_service->querySql(QStringLiteral("select yjglmc, smncmc, xwzxmc, xwzxurl, sshqmc, sshqurl, jzpgmc, "
                                           "jzpgurl, ggdamc, ggdaurl, dpzjmc, dpzjurl, "
                                           "yjbgmc, yjbgurl from Sys_url"));
    QCOMPARE(pages.size(), 1);
    const QStringList stored{
        UnitGlouble.AlertPageTitle,  UnitGlouble.InsiderPageTitle, UnitGlouble.NewsTitle,
        UnitGlouble.NewsUrl,         UnitGlouble.QuotesTitle,      UnitGlouble.QuotesUrl,
        UnitGlouble.ValuationTitle,  UnitGlouble.ValuationUrl,     UnitGlouble.StockProfileTitle,
        UnitGlouble.StockProfileUrl, UnitGlouble.MarketFundsTitle, UnitGlouble.MarketFundsUrl,
        UnitGlouble.ResearchTitle,   UnitGlouble.ResearchUrl};
    for (int i = 0; i < stored.size(); ++i) {
        const QString expected = pages.first().at(i).trimmed();
        QCOMPARE(stored.at(i),
                 expected.startsWith(QLatin1Char('/')) ? m_service->host() + expected : expected);
    }
}

void tst_TFrmLogin::freshServiceSignsIn()
{
    // What a new operator does from the README: init without demo data, one account, serve.
    m_client.reset();
    m_client = std::make_unique<ClientServiceFixture>(false);
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_boxes = &m_client->boxes();
    QString output;
    QCOMPARE(m_client->service().runCommandWithInput({"user", "add", "alice"}, "secret\n", &output), 0);

    auto window = createLogin();
    QVERIFY2(m_boxes->count() == 0, qPrintable(m_boxes->count() ? m_boxes->last().text : QString()));
    QVERIFY(login(*window, QStringLiteral("alice"), QStringLiteral("secret")));
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(UnitGlouble.SystemName, QStringLiteral("股票预警系统"));
    QCOMPARE(UnitGlouble.PollIntervalSeconds, 5);
    QCOMPARE(UnitGlouble.NewsUrl, m_client->service().host() + QStringLiteral("/pages/news.html"));
}

void tst_TFrmLogin::configurationFailure_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("message");

    const QString missing = QStringLiteral("系统错误，请在后台先维护系统配置信息！");
    const QString unreadable = QStringLiteral("系统错误，没有获取到系统配置信息！");
    QTest::newRow("empty Sys_pz") << QStringLiteral("delete from Sys_pz") << true << missing;
    QTest::newRow("empty Sys_url") << QStringLiteral("delete from Sys_url") << true << missing;
    QTest::newRow("poll period not a number")
        << QStringLiteral("update Sys_pz set khdsxsj='5s'") << true << unreadable;
    QTest::newRow("topmost not boolean")
        << QStringLiteral("update Sys_pz set ifctzqd='yes'") << true << unreadable;
    QTest::newRow("service unreachable") << QString() << false << unreadable;
}

void tst_TFrmLogin::configurationFailure()
{
    QFETCH(QString, setup);
    QFETCH(bool, reachable);
    QFETCH(QString, message);
    if (!setup.isEmpty())
        QVERIFY(m_service->execSql(setup));
    std::optional<ServiceHostOverride> host;
    if (!reachable)
        host.emplace(ClosedHost);

    TFrmLogin window;
    QVERIFY(window.terminationRequested());
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, message);
    QCOMPARE(m_boxes->last().caption, QStringLiteral("系统错误！"));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Error);
    QCOMPARE(m_boxes->last().buttons, MessageBoxes::Buttons::Ok);
}

// The configuration load waits for a service that never answers: a window (the wait's own)
// is on screen within a second, and its 取消 ends the start as the failed load does.
void tst_TFrmLogin::hungServiceAtStartShowsAWindowAtOnce()
{
    HungService hung;
    QVERIFY(hung.isListening());
    const ServiceHostOverride hungHost(hung.host());
    const UserWaitDriver driver;
    TFrmLogin window;
    QVERIFY(driver.cancelled);
    QVERIFY2(driver.indicationAfterMs < 1000, qPrintable(QString::number(driver.indicationAfterMs)));
    QVERIFY(window.terminationRequested());
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("系统错误，没有获取到系统配置信息！"));
}

// Sign-in against a service that never answers: meanwhile the window repaints and takes a click
// at once, and 取消 ends the sign-in as a failed call, the window staying open.
void tst_TFrmLogin::hungSignInLeavesTheWindowAnswering()
{
    auto window = createLogin();
    HungService hung;
    QVERIFY(hung.isListening());
    const ServiceHostOverride hungHost(hung.host());
    window->CheckBox1->setChecked(false);
    bool repainted = false;
    const UserWaitDriver driver([&] {
        repainted = !window->grab().isNull();
        QTest::mouseClick(window->Label2, Qt::LeftButton); // ticks "记住用户名密码"
    });
    QVERIFY(!login(*window, QStringLiteral("demo"), QStringLiteral("demo")));
    QVERIFY(repainted);
    QVERIFY(window->CheckBox1->isChecked());
    QVERIFY2(driver.probeLateMs + driver.probeTookMs < 200,
             qPrintable(QStringLiteral("%1 + %2").arg(driver.probeLateMs).arg(driver.probeTookMs)));
    QVERIFY(driver.cancelled);
    QCOMPARE(hung.heldConnections(), 1);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("连接服务器已取消."));
    QVERIFY(window->isVisible());
    QCOMPARE(window->result(), 0);
}

// The close confirmed while the sign-in waits: the window closes as it always does, and the
// sign-in it cut short reports nothing.
void tst_TFrmLogin::closingDuringSignInEndsQuietly()
{
    auto window = createLogin();
    HungService hung;
    QVERIFY(hung.isListening());
    const ServiceHostOverride hungHost(hung.host());
    m_boxes->queueAnswer(MessageBoxes::Answer::Ok);
    QTimer::singleShot(300, window.get(), [&] { QTest::mouseClick(window->SpeedButton3, Qt::LeftButton); });
    QVERIFY(!login(*window, QStringLiteral("demo"), QStringLiteral("demo")));
    QCOMPARE(window->result(), int(TFrmLogin::mrCancel));
    QCOMPARE(m_boxes->count(), 1); // the close confirmation alone
    QCOMPARE(m_boxes->last().text, QStringLiteral("是否关闭本系统？"));
}

void tst_TFrmLogin::loginWithBlanksAroundName()
{
    auto window = createLogin();
    QVERIFY(login(*window, QStringLiteral("  demo \t"), QStringLiteral(" demo ")));
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(!window->isVisible());

    QCOMPARE(UnitGlouble.UserId, demoUserId());
    QCOMPARE(UnitGlouble.UserName, QStringLiteral("demo"));
    QCOMPARE(UnitGlouble.UserPassword, QStringLiteral("demo"));
    QCOMPARE(UnitGlouble.UserNameUrl, QStringLiteral("demo"));
    QCOMPARE(UnitGlouble.UserPasswordUrl, QStringLiteral("demo"));
    QCOMPARE(UnitGlouble.ExpiryDate, QStringLiteral("2099-12-31"));
    QCOMPARE(UnitGlouble.UserLevel, QStringLiteral("2"));
    QCOMPARE(UnitGlouble.LoginStamp, ServiceClient::GetWebServiceSoap()->hqdlsj(UnitGlouble.UserId));
    QVERIFY(!UnitGlouble.LoginStamp.trimmed().isEmpty());

    const auto online =
        m_service->querySql(QStringLiteral("select userid, userzh, userdqsj, userdlip from userdl"));
    QCOMPARE(online.size(), 1);
    QCOMPARE(online.first().at(0), UnitGlouble.UserId);
    QCOMPARE(online.first().at(1), QStringLiteral("demo"));
    QVERIFY(online.first().at(2).startsWith(QStringLiteral("2099-12-31")));
    QCOMPARE(online.first().at(3), QStringLiteral("127.0.0.1"));
}

void tst_TFrmLogin::endedSubscriptionSignsInAsPublicLevel()
{
    // An account paid until 2000: it signs in, as the public level, and the client shows the
    // date its subscription ended.
    QVERIFY(m_service->execSql(
        QStringLiteral("UPDATE UserTable SET reachtime='2000-01-01 00:00:00' WHERE username='vip'")));
    auto window = createLogin();
    QVERIFY(login(*window, QStringLiteral("vip"), QStringLiteral("vip")));
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(!window->isVisible());
    QCOMPARE(UnitGlouble.UserName, QStringLiteral("vip"));
    QCOMPARE(UnitGlouble.UserLevel, QStringLiteral("3"));
    QCOMPARE(UnitGlouble.ExpiryDate, QStringLiteral("2000-01-01"));
    QVERIFY(m_service->execSql(
        QStringLiteral("UPDATE UserTable SET reachtime='2099-12-31 00:00:00' WHERE username='vip'")));
}

void tst_TFrmLogin::refusedLogin_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");

    const QString empty = QStringLiteral("请输入用户名或密码！");
    QTest::newRow("empty name") << QString() << QStringLiteral("demo") << empty;
    QTest::newRow("blank name") << QStringLiteral("   ") << QStringLiteral("demo") << empty;
    QTest::newRow("blank password") << QStringLiteral("demo") << QStringLiteral(" \t") << empty;
    QTest::newRow("wrong password") << QStringLiteral("demo") << QStringLiteral("Demo")
                                    << QStringLiteral("用户名不存在或密码错误！");
    QTest::newRow("unknown user") << QStringLiteral("nobody") << QStringLiteral("demo")
                                  << QStringLiteral("用户名不存在或密码错误！");
}

void tst_TFrmLogin::refusedLogin()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    const QByteArray remembered("keep\r\n\\\r\nthis\r\n");
    QVERIFY(RememberedCredentialsFile::put(remembered));

    auto window = createLogin();
    window->CheckBox1->setChecked(false); // a successful login would delete the file
    const bool emptyInput = name.trimmed().isEmpty() || password.trimmed().isEmpty();
    std::optional<ServiceHostOverride> host;
    if (emptyInput)
        host.emplace(ClosedHost); // any request would now throw a transport error

    QVERIFY(!login(*window, name, password));
    QVERIFY(window->isVisible());
    QCOMPARE(window->result(), 0);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, message);
    QCOMPARE(m_boxes->last().caption, QStringLiteral("登录错误！"));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Error);
    QCOMPARE(m_boxes->last().owner, window.get());
    QVERIFY(UnitGlouble.UserId.isEmpty());
    QVERIFY(UnitGlouble.UserLevel.isEmpty());
    QCOMPARE(RememberedCredentialsFile::bytes(), remembered);
    host.reset();
    QVERIFY(m_service->querySql(QStringLiteral("select userid from userdl")).isEmpty());
}

void tst_TFrmLogin::secondLoginUpdatesOnlineRow()
{
    {
        auto first = createLogin();
        QVERIFY(login(*first, QStringLiteral("demo"), QStringLiteral("demo")));
    }
    // As after a crash that skipped the main window's clean-up: the row is still there.
    QVERIFY(m_service->execSql(QStringLiteral("update userdl set userdlip='10.9.8.7', userzh='stale'")));

    auto second = createLogin();
    QVERIFY(login(*second, QStringLiteral("demo"), QStringLiteral("demo")));
    const auto online = m_service->querySql(QStringLiteral("select userid, userzh, userdlip from userdl"));
    QCOMPARE(online.size(), 1);
    QCOMPARE(online.first(),
             (QStringList{demoUserId(), QStringLiteral("demo"), QStringLiteral("127.0.0.1")}));
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFrmLogin::apostropheInPasswordIsMatchedAsTyped()
{
    QCOMPARE(m_service->runCommandWithInput({QStringLiteral("user"), QStringLiteral("add"),
                                             QStringLiteral("o'neil"), QStringLiteral("--level"),
                                             QStringLiteral("1")},
                                            "it's 'me'\n"),
             0);
    auto window = createLogin();
    QVERIFY(login(*window, QStringLiteral("o'neil"), QStringLiteral("it's 'me'")));
    QCOMPARE(UnitGlouble.UserName, QStringLiteral("o'neil"));
    QCOMPARE(UnitGlouble.UserNameUrl, QStringLiteral("o'neil"));
    QCOMPARE(UnitGlouble.UserPasswordUrl, QStringLiteral("it's+'me'"));
    const auto online = m_service->querySql(QStringLiteral("select userzh from userdl"));
    QCOMPARE(online, (QList<QStringList>{{QStringLiteral("o'neil")}}));
}

void tst_TFrmLogin::rememberedCredentials()
{
    {
        auto window = createLogin();
        QVERIFY(!window->CheckBox1->isChecked());
        QVERIFY(window->Edit1->text().isEmpty());
        window->CheckBox1->setChecked(true);
        QVERIFY(login(*window, QStringLiteral(" demo "), QStringLiteral("demo ")));
    }
    QCOMPARE(RememberedCredentialsFile::bytes(), QByteArray("demo\r\n\\\r\ndemo\r\n"));

    // Read back at the next showing.
    auto next = createLogin();
    QCOMPARE(next->Edit1->text(), QStringLiteral("demo"));
    QCOMPARE(next->Edit2->text(), QStringLiteral("demo"));
    QVERIFY(next->CheckBox1->isChecked());
}

void tst_TFrmLogin::uncheckedDeletesReadOnlyFile()
{
    QVERIFY(RememberedCredentialsFile::put("demo\r\n\\\r\ndemo\r\n"));
    QVERIFY(QFile::setPermissions(RememberedCredentials::filePath(), QFileDevice::ReadOwner));
    auto window = createLogin();
    QVERIFY(window->CheckBox1->isChecked());
    QTest::mouseClick(window->Label2, Qt::LeftButton); // the label toggles the box
    QVERIFY(!window->CheckBox1->isChecked());
    QVERIFY(login(*window, window->Edit1->text(), window->Edit2->text()));
    QVERIFY(!QFileInfo::exists(RememberedCredentials::filePath()));
}

void tst_TFrmLogin::malformedFileLeavesWindowUsable_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: a directory in the file's place
    QTest::addColumn<QString>("userName");
    QTest::addColumn<bool>("checked");

    QTest::newRow("one line") << QByteArray("demo") << QStringLiteral("demo") << true;
    QTest::newRow("empty file") << QByteArray("\r\n") << QString() << true;
    QTest::newRow("odd bytes") << QByteArray("demo\r\n\\\r\n\xFF\x00\x81", 11) << QStringLiteral("demo")
                               << true;
    QTest::newRow("directory") << QByteArray() << QString() << false;
}

void tst_TFrmLogin::malformedFileLeavesWindowUsable()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, userName);
    QFETCH(bool, checked);
    if (bytes.isEmpty())
        QVERIFY(QDir().mkpath(RememberedCredentials::filePath()));
    else
        QVERIFY(RememberedCredentialsFile::put(bytes));

    auto window = createLogin();
    QVERIFY(window->isVisible());
    QCOMPARE(window->Edit1->text(), userName);
    QCOMPARE(window->CheckBox1->isChecked(), checked);
    QVERIFY(login(*window, QStringLiteral("demo"), QStringLiteral("demo")));
    QCOMPARE(m_boxes->count(), 0);
    if (checked)
        QCOMPARE(RememberedCredentialsFile::bytes(), QByteArray("demo\r\n\\\r\ndemo\r\n"));
    else
        QVERIFY(QFileInfo(RememberedCredentials::filePath()).isDir());
}

std::unique_ptr<TFrmLogin> tst_TFrmLogin::createActiveLogin()
{
    auto window = createLogin();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        return nullptr;
    return window;
}

void tst_TFrmLogin::enterSignsIn_data()
{
    QTest::addColumn<bool>("remembered");
    QTest::newRow("typed: Enter moves on, Enter signs in") << false;
    QTest::newRow("remembered: one Enter signs in") << true;
}

void tst_TFrmLogin::enterSignsIn()
{
    QFETCH(bool, remembered);
    if (remembered)
        QVERIFY(RememberedCredentialsFile::put("demo\r\n\\\r\ndemo\r\n"));
    auto window = createActiveLogin();
    QVERIFY(window);
    if (!remembered) {
        QCOMPARE(QApplication::focusWidget(), window->Edit1);
        QTest::keyClicks(window->Edit1, QStringLiteral("demo"));
        QTest::keyClick(window->Edit1, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), window->Edit2);
        QCOMPARE(window->result(), 0);
        QTest::keyClicks(window->Edit2, QStringLiteral("demo"));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCOMPARE(window->result(), int(TFrmLogin::mrOk));
    QCOMPARE(UnitGlouble.UserName, QStringLiteral("demo"));
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFrmLogin::focusAfterRefusal_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("fieldToFix");
    QTest::newRow("no name") << QString() << QStringLiteral("demo") << "Edit1";
    QTest::newRow("no password") << QStringLiteral("demo") << QString() << "Edit2";
    QTest::newRow("wrong password") << QStringLiteral("demo") << QStringLiteral("wrong") << "Edit2";
}

// After the box the field to fix has the focus and its text selected: what the user types next
// replaces it, and the next Enter sends what was typed.
void tst_TFrmLogin::focusAfterRefusal()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, fieldToFix);
    auto window = createActiveLogin();
    QVERIFY(window);
    window->Edit1->setText(name);
    window->Edit2->setText(password);
    QTest::keyClick(window->Edit2, Qt::Key_Return);
    QCOMPARE(m_boxes->count(), 1);
    QLineEdit *field = fieldToFix == "Edit1" ? window->Edit1 : window->Edit2;
    QCOMPARE(QApplication::focusWidget(), field);
    QCOMPARE(field->selectedText(), field->text());

    QTest::keyClicks(field, QStringLiteral("demo"));
    QCOMPARE(field->text(), QStringLiteral("demo"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(window->result(), int(TFrmLogin::mrOk));
    QCOMPARE(m_boxes->count(), 1);
}

void tst_TFrmLogin::tabVisitsWhatIsShown_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::newRow("with the prompt") << QStringLiteral("请及时续费");
    QTest::newRow("without the prompt") << QString();
}

// Tab goes round what the user sees, never to the push buttons below the visible area.
void tst_TFrmLogin::tabVisitsWhatIsShown()
{
    QFETCH(QString, prompt);
    QVERIFY(m_service->execSql(QStringLiteral("UPDATE Sys_pz SET sytsxx='%1'").arg(prompt)));
    auto window = createActiveLogin();
    QVERIFY(window);
    window->Edit1->setFocus();
    QList<QWidget *> visited;
    for (int i = 0; i < 6; ++i) {
        visited.append(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QList<QWidget *> round{window->Edit1, window->Edit2, window->CheckBox1};
    if (!prompt.isEmpty())
        round.append(window->Memo1);
    QCOMPARE(visited.mid(0, round.size()), round);
    QCOMPARE(visited.value(round.size()), window->Edit1);
    for (QWidget *widget : visited)
        QVERIFY2(window->rect().contains(widget->geometry()) || widget->parentWidget() != window.get(),
                 qPrintable(widget->objectName()));
}

void tst_TFrmLogin::closeConfirmation_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("level");

    QTest::newRow("OK closes") << int(Answer::Ok) << int(TFrmLogin::mrCancel) << QStringLiteral("3");
    QTest::newRow("Cancel stays") << int(Answer::Cancel) << 0 << QString();
}

void tst_TFrmLogin::closeConfirmation()
{
    QFETCH(int, answer);
    QFETCH(int, result);
    QFETCH(QString, level);
    auto window = createLogin();
    m_boxes->queueAnswer(Answer(answer));
    QTest::mouseClick(window->SpeedButton3, Qt::LeftButton);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("是否关闭本系统？"));
    QCOMPARE(m_boxes->last().caption, QStringLiteral("提示"));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Information);
    QCOMPARE(m_boxes->last().buttons, MessageBoxes::Buttons::OkCancel);
    QCOMPARE(window->result(), result);
    QCOMPARE(window->isVisible(), result == 0);
    QCOMPARE(UnitGlouble.UserLevel, level);
    // Escape has no cancel button to press: the window stays.
    if (result == 0) {
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(window->isVisible());
    }
}

void tst_TFrmLogin::links()
{
    auto window = createLogin();
    QTest::mouseClick(window->URLLabel2, Qt::LeftButton);
    window->SpeedButton2->click();
    QTest::mouseClick(window->URLLabel3, Qt::LeftButton);
    const QList<QUrl> expected{QUrl(UnitGlouble.HomePageUrl), QUrl(UnitGlouble.HomePageUrl),
                               QUrl(QStringLiteral("tencent://message/?uin=") + UnitGlouble.SupportQQ)};
    QCOMPARE(m_opened.urls, expected);

    // Without a home page the home link and button do nothing.
    m_opened.urls.clear();
    UnitGlouble.HomePageUrl = QStringLiteral("  ");
    QTest::mouseClick(window->URLLabel2, Qt::LeftButton);
    window->SpeedButton2->click();
    QVERIFY(m_opened.urls.isEmpty());
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFrmLogin::signUpOpensModally()
{
    auto window = createLogin();
    QString caption;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        if (auto *signUp = qobject_cast<TFormZCCT *>(QApplication::activeModalWidget())) {
            caption = signUp->windowTitle();
            modal = true;
            signUp->Button2->click();
        }
    });
    QTest::mouseClick(window->URLLabel1, Qt::LeftButton);
    QVERIFY(modal);
    QCOMPARE(caption, UnitGlouble.SystemName + QStringLiteral("注册窗体"));
    QVERIFY(window->isVisible());
    QVERIFY(window->findChildren<TFormZCCT *>().isEmpty()); // freed when it closed
}

void tst_TFrmLogin::publicAddress_data()
{
    QTest::addColumn<QString>("hostSuffix"); // appended to the service's host
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("expected");

    QTest::newRow("200: the text") << QString() << true << QStringLiteral("127.0.0.1");
    QTest::newRow("404: empty") << QStringLiteral("/no-such-folder") << true << QString();
    QTest::newRow("unreachable: 0.0.0.0") << QString() << false << QStringLiteral("0.0.0.0");
}

void tst_TFrmLogin::publicAddress()
{
    QFETCH(QString, hostSuffix);
    QFETCH(bool, reachable);
    QFETCH(QString, expected);
    const ServiceHostOverride host(reachable ? m_service->host() + hostSuffix : ClosedHost);
    QCOMPARE(GetPublicIPAddress().trimmed(), expected);
}

QTEST_MAIN(tst_TFrmLogin)
#include "tst_TFrmLogin.moc"
