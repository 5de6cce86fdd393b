#pragma once

#include "PageKind.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <map>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The main window's presence in the desktop's notification area: the tray icon with its hint,
// its menu (the eight pages, the home page, mute, exit) and the offline look the icon takes
// after polls in a row that did not reach the service.
class TrayIntegration : public QObject
{
    Q_OBJECT

public:
    // The menu is a child of the window, so that the window's style sheet skins it.
    explicit TrayIntegration(QWidget *window);

    // The page entries' captions, as the configuration names the pages.
    void setPageTitles(const std::map<PageKind, QString> &titles);
    // The hint: the system name, with the offline note while offline.
    void setSystemName(const QString &name);
    void show();
    void hide();
    // Visible and with a tray to show in: the window may leave the taskbar for it.
    bool canHoldWindow() const;

    // After this many poll ticks in a row without an answer the icon shows the client offline.
    static constexpr int OfflineAfterFailedTicks = 3;
    // A tick reached the service (its counters came back) or it did not.
    void noteTickReached(bool reached);
    bool showsOffline() const { return m_showsOffline; }
    // The icon carries the muted mark.
    bool showsMuted() const;

    // The components, named as in the design.
    QSystemTrayIcon *TrayIcon1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr; // 退出系统
    QAction *N2 = nullptr;
    QAction *N3 = nullptr;
    QAction *N4 = nullptr;
    QAction *N5 = nullptr;
    QAction *N6 = nullptr;
    QAction *N7 = nullptr;
    QAction *N8 = nullptr;
    QAction *N9 = nullptr;
    QAction *N10 = nullptr;       // 系统主页
    QAction *MuteEntry = nullptr; // "静音", checkable, just above "退出系统"

signals:
    void pageRequested(PageKind kind);
    // A click or double click on the icon.
    void restoreRequested();

private:
    void createMenu(QWidget *window);
    void createMuteEntry();
    void createIcon();
    void showOffline(bool offline);

    std::map<PageKind, QAction *> m_pageEntries;
    QString m_systemName;
    int m_failedTicks = 0;
    bool m_showsOffline = false;
    QIcon m_onlineIcon;
    QIcon m_offlineIcon;
    QIcon m_mutedOnlineIcon;
    QIcon m_mutedOfflineIcon;
};
