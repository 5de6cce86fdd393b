#include "RawHttpServer.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

int listenOnLoopback(int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket() failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot listen on a loopback port");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Reads one request: the head up to the blank line, then Content-Length bytes of body.
void readRequest(int fd)
{
    QByteArray received;
    char buffer[4096];
    qsizetype expected = -1;
    while (expected < 0 || received.size() < expected) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        received.append(buffer, n);
        const qsizetype headEnd = received.indexOf("\r\n\r\n");
        if (expected < 0 && headEnd >= 0) {
            qsizetype bodyLength = 0;
            for (const QByteArray &line : received.left(headEnd).split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    bodyLength = line.mid(15).trimmed().toLongLong();
            }
            expected = headEnd + 4 + bodyLength;
        }
    }
}

} // namespace

RawHttpServer::RawHttpServer(QByteArray answerBytes, bool silentServer)
    : answer(std::move(answerBytes)), silent(silentServer)
{
    listener = listenOnLoopback(boundPort);
    // A silent server never accepts: the kernel completes the handshake into the backlog
    // and the client waits for an answer that never comes.
    if (!silent)
        thread = std::thread([this] { serve(); });
}

RawHttpServer::~RawHttpServer()
{
    stopping = true;
    ::shutdown(listener, SHUT_RDWR);
    if (thread.joinable())
        thread.join();
    ::close(listener);
}

void RawHttpServer::serve()
{
    while (!stopping) {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0)
            continue;
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        readRequest(client);
        qsizetype sent = 0;
        while (sent < answer.size()) {
            const ssize_t n = ::send(client, answer.constData() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        ::shutdown(client, SHUT_WR);
        ::close(client);
    }
}

int RawHttpServer::closedPort()
{
    int port = -1;
    ::close(listenOnLoopback(port));
    return port;
}
