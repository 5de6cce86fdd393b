#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// A loopback socket that answers every connection with fixed bytes, for answers an HTTP
// library will not write (HTTP/1.0 status lines, own reason phrases). With silent set it
// accepts connections but never answers, like a hung service.
class RawHttpServer
{
public:
    explicit RawHttpServer(QByteArray answer, bool silent = false);
    ~RawHttpServer();

    int port() const { return boundPort; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/WebService.asmx").arg(boundPort); }

    // A port nothing listens on: bound once to find it free, then closed.
    static int closedPort();

private:
    void serve();

    QByteArray answer;
    bool silent;
    int listener = -1;
    int boundPort = -1;
    std::atomic<bool> stopping{false};
    std::thread thread;
};
