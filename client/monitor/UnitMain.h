#pragma once

#include "PollTick.h"

#include <QFutureWatcher>
#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <optional>

class DesktopNotifications;
class MarqueeStatus;
class QLabel;
class QMenu;
class QAction;
class QSystemTrayIcon;
class QToolButton;
class TPopUpNotifier;
class Tmain;

// The resident main window: shows who is signed in, hosts one information page at a time in
// Panel8, polls the service for changes and announces them, watches for a second login of the
// same account elsewhere, owns the tray icon and the toast notifier, and removes the online
// record when the application ends.
class TFrmMain : public QWidget
{
    Q_OBJECT

public:
    // The pages the left column and the tray menu open, in the order of their buttons.
    enum class PageKind { AlertList, Insider, News, Quotes, Valuation, StockProfile, MarketFunds, Research };
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

    // The flows the poll dispatches. They read the answers the tick's fetch step brought.
    void hjgcanctdopen();
    void hjgcXGanddopen();
    void hjgcADDclose();
    void spzxaddandopen();
    void spzxXGanddopen();
    void spzxADDclose();

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
    TPopUpNotifier *PopUpNotifier1 = nullptr;
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

    // After this many poll ticks in a row without an answer the tray shows the client offline.
    static constexpr int OfflineAfterFailedTicks = 3;
    bool showsOffline() const { return m_showsOffline; }

    // Whether Timer1 counts as enabled: a period of 0 leaves it enabled without ever firing.
    bool isPolling() const { return m_polling; }
    bool isTickRunning() const { return m_tickWatcher.isRunning(); }

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
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createPageCommands();
    void createTray();
    void createMuteEntry();
    QToolButton *pageButton(int top);
    void setPageCaptions();
    void setUserLabels();

    void applyTick();
    void dispatch(PollTick::Flow flow);
    QString nextAnswer();
    void announce(const QString &text);
    bool announcesOnDesktop() const;
    void noteTickReached(bool reached);
    void showOffline(bool offline);
    void insiderToast();
    void secretToast();
    void reloadInsiderPage();
    void applyLoginCheck();

    bool m_shown = false;
    bool m_polling = false;
    bool m_destroyed = false;
    bool m_ending = false; // terminateApplication() has run: closing no longer asks
    bool m_loginReportOpen = false;
    QPoint m_dragOffset;
    bool m_dragging = false;
    DesktopNotifications *m_desktopNotifications = nullptr;
    int m_failedTicks = 0;
    bool m_showsOffline = false;
    QIcon m_onlineIcon;
    QIcon m_offlineIcon;

    PollTick::State m_tickState;
    QFutureWatcher<PollTick::Fetched> m_tickWatcher;
    std::deque<PollTick::Answer> m_flowAnswers;
    struct LoginCheck
    {
        std::optional<QString> loginTime;
        QString error;
    };
    QFutureWatcher<LoginCheck> m_loginCheckWatcher;
};
