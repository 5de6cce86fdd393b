#pragma once

#include <QString>
#include <QThread>

#include <atomic>

class QTcpServer;

// A service as it was before the change stream: it passes every request on to a real service
// but answers GET /events with 404. It runs on a thread of its own, since the client's first
// calls (sign-in, the show sequence) block the thread that shows its windows.
//
//     ServiceWithoutStream older(service.port());
//     ServiceHostOverride host(older.host());
class ServiceWithoutStream
{
public:
    explicit ServiceWithoutStream(quint16 servicePort);
    ~ServiceWithoutStream();
    ServiceWithoutStream(const ServiceWithoutStream &) = delete;
    ServiceWithoutStream &operator=(const ServiceWithoutStream &) = delete;

    QString host() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
    // The GET /events requests answered with 404 so far.
    int streamRequests() const { return streamRequests_; }

private:
    void accept();

    QThread thread_;
    QTcpServer *server_ = nullptr; // lives on thread_
    quint16 servicePort_;
    quint16 port_ = 0;
    std::atomic<int> streamRequests_{0};
};
