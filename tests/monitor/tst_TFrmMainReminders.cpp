#include "AlertSound.h"
#include "ChangeCounters.h"
#include "ClientServiceFixture.h"
#include "ClosedHost.h"
#include "LoginWindowSignIn.h"
#include "MainWindowWithTimersStopped.h"
#include "NotificationServer.h"
#include "PrivateSessionBus.h"
#include "ReminderSettings.h"
#include "ServiceClient.h"
#include "ServiceHostOverride.h"
#include "StringGrid.h"
#include "TfrmPopUpToast.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitMain.h"
#include "UnitSMNC.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolButton>

#include <memory>
#include <optional>

namespace {

constexpr int Bound = 15000; // ms for anything that waits for the service or the bus

int visibleToasts()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *toast = qobject_cast<TfrmPopUpToast *>(window); toast && toast->isVisible())
            ++count;
    }
    return count;
}

} // namespace

// What the user chose about reminders, applied by the main window against the real service:
// mute, desktop notifications on a private session bus with a notification server of the
// test's own, and the tray's offline indicator.
class tst_TFrmMainReminders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void muteEntrySitsBeforeQuit();
    void mutedAlertRefreshesSilently_data();
    void mutedAlertRefreshesSilently();
    void muteEntryFollowsTheSettings();

    void desktopNotificationCarriesTheAlert_data();
    void desktopNotificationCarriesTheAlert();
    void notificationClickRestoresTheWindow();
    void toastsWhenTheDesktopHasNoNotifications();

    void offlineIndicator_data();
    void offlineIndicator();

private:
    void signIn();
    bool tick(TFrmMain &window);
    void publish(const QStringList &args);

    std::unique_ptr<ClientServiceFixture> m_client;
};

void tst_TFrmMainReminders::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    TFrmMain::setPageFactory(TFrmMain::PageKind::AlertList,
                             [](QWidget *hostPanel) -> Tmain * { return new TFormSMNC(hostPanel); });
}

void tst_TFrmMainReminders::init()
{
    QFile::remove(ReminderSettings::filePath());
    UnitGlouble = GlobalState{};
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
}

void tst_TFrmMainReminders::cleanup()
{
    m_client.reset();
    QFile::remove(ReminderSettings::filePath());
}

void tst_TFrmMainReminders::signIn()
{
    QVERIFY(signInThroughLoginWindow(QStringLiteral("demo"), QStringLiteral("demo")));
}

bool tst_TFrmMainReminders::tick(TFrmMain &window)
{
    QSignalSpy applied(&window, &TFrmMain::pollTickApplied);
    window.Timer1Timer();
    return applied.wait(Bound);
}

void tst_TFrmMainReminders::publish(const QStringList &args)
{
    QString output;
    QCOMPARE(m_client->service().runCommand(QStringList{QStringLiteral("publish")} + args, &output), 0);
}

void tst_TFrmMainReminders::muteEntrySitsBeforeQuit()
{
    ReminderSettings::instance().setMuted(true);
    TFrmMain window;
    const QList<QAction *> entries = window.PopupMenu1->actions();
    const qsizetype quit = entries.indexOf(window.N1);
    QVERIFY(quit > 0);
    QCOMPARE(entries.at(quit - 1), window.MuteEntry);
    QCOMPARE(window.MuteEntry->text(), QStringLiteral("静音"));
    QVERIFY(window.MuteEntry->isCheckable());
    // A client started while muted stays muted, and its entry says so.
    QVERIFY(window.MuteEntry->isChecked());
}

void tst_TFrmMainReminders::mutedAlertRefreshesSilently_data()
{
    QTest::addColumn<bool>("byTrayEntry");
    QTest::newRow("muted by the tray entry") << true;
    QTest::newRow("muted in the settings") << false;
}

// Muted: the grids still refill, but there is no sound and no toast; unmuting brings both
// back with the next alert.
void tst_TFrmMainReminders::mutedAlertRefreshesSilently()
{
    QFETCH(bool, byTrayEntry);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    auto *page = qobject_cast<TFormSMNC *>(window->CurrentPage);
    QVERIFY(page);
    if (byTrayEntry)
        window->MuteEntry->trigger();
    else
        ReminderSettings::instance().setMuted(true);
    QVERIFY(ReminderSettings::instance().muted());
    QVERIFY(window->MuteEntry->isChecked());

    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    const int rowsBefore = page->StringGrid1->rowCount();
    publish({"stock", "--code", "600000", "--name", "浦发银行", "--op", "卖出", "--reason", "测试", "--level",
             "3"});
    QVERIFY(tick(*window));
    QCOMPARE(page->StringGrid1->rowCount(), rowsBefore + 1);
    QCOMPARE(page->cellText(AlertListFills::Grid::TodayAlerts, 1, 2), QStringLiteral("600000"));
    QCOMPARE(sounds.count(), 0);
    QCOMPARE(toasts.count(), 0);
    QCOMPARE(visibleToasts(), 0);

    window->MuteEntry->trigger();
    QVERIFY(!ReminderSettings::instance().muted());
    publish({"secret", "--title", "绝密", "--level", "3"});
    QVERIFY(tick(*window));
    QCOMPARE(sounds.count(), 1);
    QCOMPARE(toasts.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(visibleToasts(), 1, Bound);
}

void tst_TFrmMainReminders::muteEntryFollowsTheSettings()
{
    TFrmMain window;
    QVERIFY(!window.MuteEntry->isChecked());
    ReminderSettings::instance().setMuted(true);
    QVERIFY(window.MuteEntry->isChecked());
    ReminderSettings::instance().setMuted(false);
    QVERIFY(!window.MuteEntry->isChecked());
}

void tst_TFrmMainReminders::desktopNotificationCarriesTheAlert_data()
{
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shownTitle");

    const QStringList plain{QStringLiteral("actions"), QStringLiteral("body")};
    QTest::newRow("plain-text server")
        << plain << QStringLiteral("绝密：<b>调研</b> & 纪要") << QStringLiteral("绝密：<b>调研</b> & 纪要");
    // A server that reads markup must still show the service's text as it is.
    QTest::newRow("markup server") << (plain + QStringList{QStringLiteral("body-markup")})
                                   << QStringLiteral("绝密：<b>调研</b> & 纪要")
                                   << QStringLiteral("绝密：&lt;b&gt;调研&lt;/b&gt; &amp; 纪要");
}

void tst_TFrmMainReminders::desktopNotificationCarriesTheAlert()
{
    QFETCH(QStringList, capabilities);
    QFETCH(QString, title);
    QFETCH(QString, shownTitle);
    NotificationServer server(capabilities);
    QVERIFY(server.isRegistered());
    ReminderSettings::instance().setPresentation(ReminderSettings::Presentation::DesktopNotifications);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
    QSignalSpy notified(&server, &NotificationServer::notified);

    publish({"secret", "--title", title, "--level", "3"});
    QVERIFY(tick(*window));
    QVERIFY(notified.wait(Bound));
    QCOMPARE(server.notifications().size(), 1);
    const NotificationServer::Notification &shown = server.notifications().first();
    QCOMPARE(shown.summary, QStringLiteral("提示"));
    QCOMPARE(shown.body, QStringLiteral("【私募绝密新消息】\n弹出时间：") +
                             ChangeCounters::value(QStringLiteral("smjmaddsj")).trimmed() +
                             QStringLiteral("\n私募绝密标题：") + shownTitle);
    QVERIFY(shown.actions.contains(QStringLiteral("default")));
    QCOMPARE(sounds.count(), 1);
    QCOMPARE(visibleToasts(), 0);
}

// A click on our notification restores the window as a toast click does; a click on some
// other program's notification does not.
void tst_TFrmMainReminders::notificationClickRestoresTheWindow()
{
    NotificationServer server;
    QVERIFY(server.isRegistered());
    ReminderSettings::instance().setPresentation(ReminderSettings::Presentation::DesktopNotifications);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy notified(&server, &NotificationServer::notified);
    publish({"secret", "--title", "绝密", "--level", "3"});
    QVERIFY(tick(*window));
    QVERIFY(notified.wait(Bound));
    const uint id = server.notifications().first().id;

    window->hide();
    server.click(id + 1000);
    QSignalSpy shown(window->windowHandle(), &QWindow::visibleChanged);
    QVERIFY(!shown.wait(500)); // the signal would have travelled the bus by then
    QVERIFY(!window->isVisible());
    server.click(id);
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), Bound);
}

// Desktop notifications chosen, but nothing on the bus shows them: toasts stand in.
void tst_TFrmMainReminders::toastsWhenTheDesktopHasNoNotifications()
{
    ReminderSettings::instance().setPresentation(ReminderSettings::Presentation::DesktopNotifications);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    QSignalSpy toasts(window.get(), &TFrmMain::announced);
    publish({"secret", "--title", "绝密", "--level", "3"});
    QVERIFY(tick(*window));
    QCOMPARE(toasts.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(visibleToasts(), 1, Bound);
}

void tst_TFrmMainReminders::offlineIndicator_data()
{
    // Per tick: 'F' the service is unreachable, 'S' it answers; and whether the tray shows
    // the client offline after that tick.
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<QString>("offlineAfter");
    QTest::newRow("three failures, then back") << "FFFS"
                                               << "0010";
    QTest::newRow("a success in between starts the count again") << "FFSFFF"
                                                                 << "000001";
    QTest::newRow("stays offline while failing") << "FFFFF"
                                                 << "00111";
    QTest::newRow("two failures are not enough") << "FFSS"
                                                 << "0000";
}

// Failing ticks stay silent (no message box); only the tray icon and its hint tell.
void tst_TFrmMainReminders::offlineIndicator()
{
    QFETCH(QString, ticks);
    QFETCH(QString, offlineAfter);
    signIn();
    auto window = showMainWindowWithTimersStopped();
    // The hint as a tooltip shows it (it is marked as rich text, so that it shows literally).
    const auto shownHint = [&window] {
        return QTextDocumentFragment::fromHtml(window->TrayIcon1->toolTip()).toPlainText();
    };
    const QString onlineHint = shownHint();
    QCOMPARE(onlineHint, UnitGlouble.SystemName);
    const qint64 onlineIcon = window->TrayIcon1->icon().cacheKey();
    const QString serviceHost = ServiceClient::serviceHost();
    std::optional<ServiceHostOverride> host;

    for (qsizetype i = 0; i < ticks.size(); ++i) {
        host.emplace(ticks.at(i) == QLatin1Char('F') ? ClosedHost : serviceHost);
        QVERIFY(tick(*window));
        const bool offline = offlineAfter.at(i) == QLatin1Char('1');
        QVERIFY2(window->showsOffline() == offline, qPrintable(QStringLiteral("after tick %1").arg(i + 1)));
        QCOMPARE(shownHint(), offline ? onlineHint + QStringLiteral("（与服务器的连接已中断）") : onlineHint);
        QCOMPARE(window->TrayIcon1->icon().cacheKey() != onlineIcon, offline);
    }
    host.reset();
    QCOMPARE(m_client->boxes().count(), 0);
}

// The session bus must be the test's own before anything in the process asks for one.
int main(int argc, char *argv[])
{
    PrivateSessionBus bus;
    if (!bus.start()) {
        qCritical("private session bus: %s", qPrintable(bus.errorString()));
        return 1;
    }
    QApplication application(argc, argv);
    tst_TFrmMainReminders test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_TFrmMainReminders.moc"
