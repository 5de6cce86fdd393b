#include "RawConnection.h"

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawConnection::RawConnection(quint16 port, const char *source)
{
    fd_ = LoopbackSocket::connectFrom(source, port);
}

RawConnection::~RawConnection()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool RawConnection::send(const QByteArray &bytes)
{
    return fd_ >= 0 && ::send(fd_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

QByteArray RawConnection::readUntil(const QByteArray &marker, int timeoutMs)
{
    QByteArray received;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (fd_ >= 0) {
        int left = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        pollfd p{fd_, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            break;
        char buffer[4096];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            closedByPeer_ = true;
            break;
        }
        received.append(buffer, int(n));
        if (!marker.isEmpty() && received.contains(marker))
            break;
    }
    return received;
}

QByteArray RawConnection::exchange(quint16 port, const char *source, const QByteArray &request, int timeoutMs)
{
    RawConnection connection(port, source);
    if (!connection.send(request))
        return {};
    return connection.readAll(timeoutMs);
}
