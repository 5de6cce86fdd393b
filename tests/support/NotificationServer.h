#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A notification server of the test's own on the session bus: records every Notify call and
// raises ActionInvoked on request, as a desktop does when the user clicks a notification. It
// has a connection of its own, so that the client's calls really travel over the bus.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification
    {
        uint id = 0;
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
    };

    explicit NotificationServer(QStringList capabilities = {QStringLiteral("actions"),
                                                            QStringLiteral("body")});
    ~NotificationServer() override;

    bool isRegistered() const { return m_registered; }
    const QList<Notification> &notifications() const { return m_notifications; }

    // As if the user clicked notification `id` (action "default").
    void click(uint id, const QString &actionKey = QStringLiteral("default"));

public slots:
    QStringList GetCapabilities();
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout);
    void CloseNotification(uint id);
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion);

signals:
    void notified();

private:
    QDBusConnection m_connection;
    QStringList m_capabilities;
    QList<Notification> m_notifications;
    bool m_registered = false;
    uint m_nextId = 1;
};
