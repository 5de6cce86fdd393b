#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One client per desktop user and service host. The first start listens on a local socket
// named after both; a later start finds it, asks the first to come to the front and is told
// to exit. A socket file left behind by a crash answers no one, so it is replaced.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &serviceHost, QObject *parent = nullptr);

    // The socket's full path in the user's runtime directory.
    static QString socketPath(const QString &serviceHost);

    // true: this is the only client, and it now listens. false: another one runs and has been
    // asked to come to the front; this one should end.
    bool claim();

signals:
    // A later start asked this client to come to the front.
    void activationRequested();

private:
    bool askRunningInstance();
    void listen();

    QString m_path;
    QLocalServer *m_server = nullptr;
};
