#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace LoopbackSocket {

int connectFrom(const char *source, quint16 port, Options options)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    // Both take effect only when set before the connection is made (the receive window).
    if (options.receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &options.receiveBuffer, sizeof options.receiveBuffer);
    if (options.readTimeoutSeconds > 0) {
        const timeval bound{options.readTimeoutSeconds, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    if (inet_pton(AF_INET, source, &local.sin_addr) != 1 ||
        inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr *>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace LoopbackSocket
