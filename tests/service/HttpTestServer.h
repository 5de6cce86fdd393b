#pragma once

#include <httplib.h>

#include <QByteArray>
#include <QString>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A cpp-httplib server on a free loopback port, running on its own thread for the life
// of the object. Every request to any path is recorded and answered by the handler.
class HttpTestServer
{
public:
    struct Recorded
    {
        std::string method;
        std::string path;
        httplib::Headers headers;
        std::string body;
        int remotePort = -1;
    };
    using Handler = std::function<void(const httplib::Request &, httplib::Response &)>;

    HttpTestServer();
    ~HttpTestServer();

    int port() const { return boundPort; }
    QString url(const QString &path = QStringLiteral("/WebService.asmx")) const;

    void setHandler(Handler handler);
    std::vector<Recorded> requests() const;
    void clearRequests();

private:
    void handle(const httplib::Request &request, httplib::Response &response);

    httplib::Server server;
    int boundPort = -1;
    std::thread thread;
    mutable std::mutex mutex;
    Handler handler;
    std::vector<Recorded> recorded;
};
