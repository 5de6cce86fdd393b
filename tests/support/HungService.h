#pragma once

#include <QList>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// A service that accepts every connection and never answers: each call made to it waits until
// its time-out or until it is aborted. The connections are held until it goes.
class HungService : public QTcpServer
{
public:
    HungService();
    bool isListening() const { return QTcpServer::isListening(); }
    QString host() const; // "http://127.0.0.1:port", for ServiceHostOverride
    int heldConnections() const { return int(m_held.size()); }

private:
    QList<QTcpSocket *> m_held;
};
