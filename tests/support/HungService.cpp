#include "HungService.h"

#include <QTcpSocket>

HungService::HungService()
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection())
            m_held.append(socket);
    });
}

QString HungService::host() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}
