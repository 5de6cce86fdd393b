#pragma once

#include "AlertFlows.h"
#include "PageKind.h"
#include "PollTick.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>

class Announcer;
class ChangeStream;
class LoginElsewhereCheck;
class MarqueeStatus;
class QLabel;
class QScreen;
class QMenu;
class QAction;
class QSystemTrayIcon;
class QToolButton;
class TPopUpNotifier;
class Tmain;
class TrayIntegration;

// The resident main window: shows who is signed in, hosts one information page at a time in
// Panel8, runs the poll tick and the login-elsewhere check on its two timers, and removes the
// online record when the application ends. Its jobs live in units of their own: the tray
// (TrayIntegration), sound and toasts (Announcer), the tick's flows (AlertFlows) and the check
// (LoginElsewhereCheck); the handlers here forward to them.
class TFrmMain : public QWidget
{
    Q_OBJECT

public:
    using PageKind = ::PageKind;
    using PageFactory = std::function<Tmain *(QWidget *hostPanel)>;

    // The page classes live above this window: the program registers them (and the settings
    // window) before the main window is created.
    static void setPageFactory(PageKind kind, PageFactory factory);
    static void setSettingsWindow(std::function<void()> showModally);

    explicit TFrmMain(QWidget *parent = nullptr);
    ~TFrmMain() override;

    void OpenPage(PageKind kind);
    Tmain *CurrentPage = nullptr;

    // Start of polling: clears the open flags, fetches the counters, stores them as seen and
    // starts Timer1 at the configured period.
    void startPolling();

    // Restores the window from the taskbar or the tray and brings it to the front.
    void restoreApplication();
    // Ends the application: the destroy step runs once on the way out.
    void terminateApplication();
    // Removes the online record; runs once, however the application ends.
    void FormDestroy();

    // Controls, named as in the design.
    QLabel *Image4 = nullptr; // the background picture
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QToolButton *SpeedButton7 = nullptr;
    QToolButton *SpeedButton3 = nullptr;
    QToolButton *SpeedButton4 = nullptr;
    QToolButton *SpeedButton5 = nullptr;
    QToolButton *SpeedButton6 = nullptr;
    QToolButton *SpeedButton8 = nullptr;
    QToolButton *SpeedButton10 = nullptr;
    QToolButton *SpeedButton11 = nullptr;
    QToolButton *SpeedButton12 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
    QWidget *Panel8 = nullptr;
    MarqueeStatus *MarqueeStatus1 = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    TPopUpNotifier *PopUpNotifier1 = nullptr; // the announcer's
    // The tray's components, named as in the design (owned by TrayIntegration).
    QSystemTrayIcon *TrayIcon1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr;
    QAction *N2 = nullptr;
    QAction *N3 = nullptr;
    QAction *N4 = nullptr;
    QAction *N5 = nullptr;
    QAction *N6 = nullptr;
    QAction *N7 = nullptr;
    QAction *N8 = nullptr;
    QAction *N9 = nullptr;
    QAction *N10 = nullptr;
    QAction *MuteEntry = nullptr; // "静音", checkable, just above "退出系统"

    TrayIntegration *tray() const { return m_tray; }
    Announcer *announcer() const { return m_announcer; }
    bool showsOffline() const;

    // Whether Timer1 counts as enabled: a period of 0 leaves it enabled without ever firing.
    bool isPolling() const { return m_polling; }
    bool isTickRunning() const { return m_tickWatcher.isRunning(); }
    // The first counter fetch failed: the next tick fetches the counters in its place and
    // stores them as seen, announcing nothing.
    bool needsFirstCounters() const { return m_needsFirstCounters; }
    ChangeStream *changeStream() const { return m_changeStream; }

public slots:
    void FormShow();
    void Timer1Timer();
    void Timer2Timer();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton7Click();
    void N1Click();
    void N10Click();
    void PopUpNotifier1Click();
    // The alert sound of every announcing flow; silent while muted.
    void PlayAlertSound();

signals:
    // A toast was asked for with this text (whether or not the notifier had room for it).
    void announced(const QString &text);
    // The apply step of a poll tick has ended (whether it dispatched, failed or was dropped).
    void pollTickApplied();
    // The login-elsewhere check has handled an answer or a failure.
    void loginCheckApplied();

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createPageCommands();
    void createTray();
    QToolButton *pageButton(int top);
    void setPageCaptions();
    void setUserLabels();
    QRect availableArea() const;
    void keepOnScreen();
    void followScreen(QScreen *screen);
    void placeHeaderLabels();

    void startTick();
    void applyTick();
    void applyFirstCounters(const PollTick::Fetched &fetched);
    // After the show sequence: the change stream asks for ticks between the timer's.
    void startChangeStream();
    void tickNow();
    // A change told while the tick's fetch was out: one more tick now.
    void tickAgainIfAsked();
    void endOnLoginElsewhere();

    // What Label8, Label9 and Label10 show (before the show sequence, their design text).
    struct HeaderValues
    {
        QString userName = QStringLiteral("用户名：");
        QString level = QStringLiteral("用户名：");
        QString expiryDate = QStringLiteral("用户名：");
    } m_headerValues;

    QMetaObject::Connection m_screenConnection;
    bool m_shown = false;
    bool m_polling = false;
    bool m_needsFirstCounters = false;
    bool m_tickFetchesFirstCounters = false; // the running fetch is the first counters' retry
    bool m_destroyed = false;
    bool m_ending = false; // terminateApplication() has run: closing no longer asks
    QPoint m_dragOffset;
    bool m_dragging = false;
    TrayIntegration *m_tray = nullptr;
    Announcer *m_announcer = nullptr;
    LoginElsewhereCheck *m_loginCheck = nullptr;
    std::unique_ptr<AlertFlows> m_flows;
    ChangeStream *m_changeStream = nullptr;
    bool m_tickAgain = false; // a tick asked for while one ran

    PollTick::State m_tickState;
    QFutureWatcher<PollTick::Fetched> m_tickWatcher;
};
