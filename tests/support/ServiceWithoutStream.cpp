#include "ServiceWithoutStream.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

const QByteArray notFound = "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
                            "Connection: close\r\n\r\nnot found";

// Bytes each way once a connection is passed on.
void relay(QTcpSocket *from, QTcpSocket *to)
{
    QObject::connect(from, &QTcpSocket::readyRead, to, [from, to] { to->write(from->readAll()); });
    QObject::connect(from, &QTcpSocket::disconnected, to, [to] { to->disconnectFromHost(); });
}

} // namespace

ServiceWithoutStream::ServiceWithoutStream(quint16 servicePort) : servicePort_(servicePort)
{
    server_ = new QTcpServer;
    server_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, server_, &QObject::deleteLater);
    thread_.start();
    QMetaObject::invokeMethod(
        server_,
        [this] {
            server_->listen(QHostAddress::LocalHost);
            port_ = server_->serverPort();
            QObject::connect(server_, &QTcpServer::newConnection, server_, [this] { accept(); });
        },
        Qt::BlockingQueuedConnection);
}

ServiceWithoutStream::~ServiceWithoutStream()
{
    thread_.quit();
    thread_.wait();
}

void ServiceWithoutStream::accept()
{
    while (QTcpSocket *client = server_->nextPendingConnection()) {
        QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        // The request head decides: the stream is refused, everything else passed on as it is.
        auto waiting = std::make_shared<QMetaObject::Connection>();
        *waiting = QObject::connect(client, &QTcpSocket::readyRead, client, [this, client, waiting] {
            if (!client->peek(64 * 1024).contains("\r\n\r\n"))
                return;
            QObject::disconnect(*waiting);
            if (client->peek(12).startsWith("GET /events")) {
                ++streamRequests_;
                client->write(notFound);
                client->disconnectFromHost();
                return;
            }
            auto *service = new QTcpSocket(client);
            relay(client, service);
            relay(service, client);
            service->connectToHost(QHostAddress::LocalHost, servicePort_);
            // Written once connected: the socket keeps it until then.
            service->write(client->readAll());
        });
    }
}
