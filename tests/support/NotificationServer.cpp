#include "NotificationServer.h"

#include <QDBusMessage>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

NotificationServer::NotificationServer(QStringList capabilities)
    : m_connection(
          QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("notification-server"))),
      m_capabilities(std::move(capabilities))
{
    m_registered = m_connection.isConnected() &&
                   m_connection.registerObject(Path, this, QDBusConnection::ExportAllSlots) &&
                   m_connection.registerService(Service);
}

NotificationServer::~NotificationServer()
{
    m_connection.unregisterService(Service);
    m_connection.unregisterObject(Path);
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-server"));
}

void NotificationServer::click(uint id, const QString &actionKey)
{
    QDBusMessage signal = QDBusMessage::createSignal(Path, Service, QStringLiteral("ActionInvoked"));
    signal << id << actionKey;
    m_connection.send(signal);
}

QStringList NotificationServer::GetCapabilities()
{
    return m_capabilities;
}

uint NotificationServer::Notify(const QString &appName, uint, const QString &, const QString &summary,
                                const QString &body, const QStringList &actions, const QVariantMap &, int)
{
    m_notifications.append({m_nextId, appName, summary, body, actions});
    emit notified();
    return m_nextId++;
}

void NotificationServer::CloseNotification(uint) {}

QString NotificationServer::GetServerInformation(QString &vendor, QString &version, QString &specVersion)
{
    vendor = QStringLiteral("test");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("test notifications");
}
