#include "HttpTestServer.h"

#include <stdexcept>

HttpTestServer::HttpTestServer()
{
    server.set_tcp_nodelay(true);
    // Stopping waits for idle keep-alive connections to time out; keep that wait short.
    server.set_keep_alive_timeout(1);
    auto route = [this](const httplib::Request &request, httplib::Response &response) {
        handle(request, response);
    };
    server.Get(".*", route);
    server.Post(".*", route);
    boundPort = server.bind_to_any_port("127.0.0.1");
    if (boundPort <= 0)
        throw std::runtime_error("cannot bind a loopback port for the test server");
    // The socket listens from here on: clients may connect before the loop accepts.
    thread = std::thread([this] { server.listen_after_bind(); });
}

HttpTestServer::~HttpTestServer()
{
    server.stop();
    thread.join();
}

QString HttpTestServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(boundPort).arg(path);
}

void HttpTestServer::setHandler(Handler newHandler)
{
    std::lock_guard lock(mutex);
    handler = std::move(newHandler);
}

std::vector<HttpTestServer::Recorded> HttpTestServer::requests() const
{
    std::lock_guard lock(mutex);
    return recorded;
}

void HttpTestServer::clearRequests()
{
    std::lock_guard lock(mutex);
    recorded.clear();
}

void HttpTestServer::handle(const httplib::Request &request, httplib::Response &response)
{
    Handler current;
    {
        std::lock_guard lock(mutex);
        recorded.push_back(
            {request.method, request.path, request.headers, request.body, request.remote_port});
        current = handler;
    }
    if (current)
        current(request, response);
    else
        response.status = 404;
}
