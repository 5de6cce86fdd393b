#include "DesktopNotifications.h"

#include "ApplicationTitle.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString DefaultAction = QStringLiteral("default");
// Lets the server show the notification for as long as it usually does.
constexpr int ServerTimeout = -1;

} // namespace

DesktopNotifications::DesktopNotifications(QObject *parent, const QDBusConnection &bus)
    : QObject(parent), m_bus(bus)
{
    m_bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface),
                  QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface),
                  QStringLiteral("NotificationClosed"), this, SLOT(onNotificationClosed(uint, uint)));
}

bool DesktopNotifications::isAvailable() const
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return false;
    const QString service = QLatin1String(Service);
    if (m_bus.interface()->isServiceRegistered(service))
        return true;
    const QDBusReply<QStringList> activatable = m_bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(service);
}

QString DesktopNotifications::bodyFor(const QString &text, bool serverReadsMarkup)
{
    QString body = text;
    body.replace(QChar(13), QLatin1Char('\n'));
    return serverReadsMarkup ? body.toHtmlEscaped() : body;
}

void DesktopNotifications::show(const QString &title, const QString &text)
{
    if (m_serverReadsMarkup) {
        send(title, text);
        return;
    }
    m_waiting.emplace_back(title, text);
    askCapabilities();
}

void DesktopNotifications::askCapabilities()
{
    if (m_askingCapabilities)
        return;
    m_askingCapabilities = true;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface),
                                       QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answered) {
        answered->deleteLater();
        m_askingCapabilities = false;
        const QDBusPendingReply<QStringList> reply = *answered;
        // A server that cannot say what it reads gets escaped text: a visible "&amp;" is
        // better than a service text rendered as markup.
        m_serverReadsMarkup = reply.isError() || reply.value().contains(QStringLiteral("body-markup"));
        const auto waiting = std::exchange(m_waiting, {});
        for (const auto &[title, text] : waiting)
            send(title, text);
    });
}

void DesktopNotifications::send(const QString &title, const QString &text)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                       QLatin1String(Interface), QStringLiteral("Notify"));
    call << ApplicationTitle::text() << uint(0) << QString() << title << bodyFor(text, *m_serverReadsMarkup)
         << QStringList{DefaultAction, title} << QVariantMap() << ServerTimeout;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotifications::remember);
}

void DesktopNotifications::remember(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    if (!reply.isError())
        m_ours.insert(reply.value());
}

void DesktopNotifications::onActionInvoked(uint id, const QString &actionKey)
{
    // Other programs' notifications raise the same signal on the same object.
    if (m_ours.contains(id) && actionKey == DefaultAction)
        emit clicked();
}

void DesktopNotifications::onNotificationClosed(uint id, uint)
{
    m_ours.remove(id);
}
