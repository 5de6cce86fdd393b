#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

// A running client answers within a blink; a socket nobody accepts on is refused at once.
constexpr int AnswerBoundMs = 2000;
const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");

} // namespace

SingleInstance::SingleInstance(const QString &serviceHost, QObject *parent)
    : QObject(parent), m_path(socketPath(serviceHost))
{
}

// The runtime directory belongs to the user alone, so the path names the user already; the
// host is hashed because a socket path is short and a host may hold any character.
QString SingleInstance::socketPath(const QString &serviceHost)
{
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        directory = QDir::tempPath();
    const QByteArray hash =
        QCryptographicHash::hash(serviceHost.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return directory + QStringLiteral("/stock-alert-") + QString::fromLatin1(hash);
}

bool SingleInstance::claim()
{
    if (askRunningInstance())
        return false;
    listen();
    return true;
}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(AnswerBoundMs))
        return false;
    socket.write(RaiseRequest);
    socket.waitForBytesWritten(AnswerBoundMs);
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::listen()
{
    // Nobody answered on it: whatever is left at the path is a crashed client's.
    QLocalServer::removeServer(m_path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path))
        return; // the client still runs, only without the guard
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(RaiseRequest.trimmed()))
                    emit activationRequested();
            });
        }
    });
}
