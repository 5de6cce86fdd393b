#include "ClientServiceFixture.h"
#include "LoginWindowSignIn.h"
#include "MainWindowWithTimersStopped.h"
#include "TfrmPopUpToast.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitMain.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

constexpr int Bound = 15000;

QList<TfrmPopUpToast *> visibleToasts()
{
    QList<TfrmPopUpToast *> toasts;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *toast = qobject_cast<TfrmPopUpToast *>(window); toast && toast->isVisible())
            toasts.append(toast);
    }
    return toasts;
}

} // namespace

// On a real X display: the window minimised by its own button, with and without a system
// tray, still announces alerts with toasts on the screen, and the tray icon brings it back.
class tst_TFrmMainDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void toastsWhileMinimised_data();
    void toastsWhileMinimised();

private:
    QProcess m_tray;
};

void tst_TFrmMainDesktop::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"), "runs on an X display (xvfb-run)");
}

void tst_TFrmMainDesktop::cleanupTestCase()
{
    if (m_tray.state() != QProcess::NotRunning) {
        m_tray.kill();
        m_tray.waitForFinished(5000);
    }
}

void tst_TFrmMainDesktop::toastsWhileMinimised_data()
{
    QTest::addColumn<bool>("withTray");
    QTest::newRow("no system tray") << false;
    QTest::newRow("system tray (trayer)") << true;
}

void tst_TFrmMainDesktop::toastsWhileMinimised()
{
    QFETCH(bool, withTray);
    if (withTray && m_tray.state() == QProcess::NotRunning) {
        m_tray.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("bottom")});
        QVERIFY2(m_tray.waitForStarted(5000), "trayer is installed by scripts/setup-deps");
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), Bound);
    }
    QCOMPARE(QSystemTrayIcon::isSystemTrayAvailable(), withTray);

    UnitGlouble = GlobalState{};
    ClientServiceFixture client;
    QVERIFY2(client.isReady(), qPrintable(client.errorString()));
    QVERIFY(signInThroughLoginWindow(QStringLiteral("demo"), QStringLiteral("demo")));
    auto window = showMainWindowWithTimersStopped();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QTest::mouseClick(window->SpeedButton1, Qt::LeftButton);
    if (withTray) {
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), Bound);
        QVERIFY(window->TrayIcon1->isVisible());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(window->isMinimized(), Bound);
    }

    QString output;
    QCOMPARE(client.service().runCommand({"publish", "secret", "--title", "绝密", "--level", "3"}, &output),
             0);
    QSignalSpy applied(window.get(), &TFrmMain::pollTickApplied);
    window->Timer1Timer();
    QVERIFY(applied.wait(Bound));
    QTRY_COMPARE_WITH_TIMEOUT(visibleToasts().size(), 1, Bound);
    TfrmPopUpToast *toast = visibleToasts().first();
    QVERIFY(QTest::qWaitForWindowExposed(toast));
    QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::primaryScreen()->geometry().contains(toast->geometry()), Bound);

    if (withTray) {
        emit window->TrayIcon1->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible() && !window->isMinimized(), Bound);
    }
}

QTEST_MAIN(tst_TFrmMainDesktop)
#include "tst_TFrmMainDesktop.moc"
