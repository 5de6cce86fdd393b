#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

class QDBusPendingCallWatcher;

// Alerts announced through the desktop's notification service (org.freedesktop.Notifications
// on the session bus), for desktops where a toast cannot be placed or when the user prefers
// them. Every call is asynchronous: the notification server may live in this very process
// (tests) and a blocking call would wait for ourselves.
class DesktopNotifications : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *Service = "org.freedesktop.Notifications";
    static constexpr const char *Path = "/org/freedesktop/Notifications";
    static constexpr const char *Interface = "org.freedesktop.Notifications";

    explicit DesktopNotifications(QObject *parent = nullptr,
                                  const QDBusConnection &bus = QDBusConnection::sessionBus());

    // A notification server runs, or the bus can start one.
    bool isAvailable() const;

    // Shows `text` (lines separated by carriage returns, as toasts take them) under `title`.
    // Text is always shown as plain text, also by servers that read markup.
    void show(const QString &title, const QString &text);

    // The body as sent: lines joined by line feeds, escaped where the server reads markup.
    static QString bodyFor(const QString &text, bool serverReadsMarkup);

signals:
    // The user clicked one of our notifications.
    void clicked();

private slots:
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    void askCapabilities();
    void send(const QString &title, const QString &text);
    void remember(QDBusPendingCallWatcher *watcher);

    QDBusConnection m_bus;
    std::optional<bool> m_serverReadsMarkup; // unknown until the server answered
    bool m_askingCapabilities = false;
    std::vector<std::pair<QString, QString>> m_waiting; // title and text, until then
    QSet<uint> m_ours;
};
