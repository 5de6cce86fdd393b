#include "EventStreamReader.h"

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

EventStreamReader::EventStreamReader(quint16 port, const QByteArray &target, qint64 lastEventId,
                                     const char *source, int receiveBuffer)
{
    fd_ = LoopbackSocket::connectFrom(source, port, {.receiveBuffer = receiveBuffer});
    QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: x\r\nAccept: text/event-stream\r\n";
    if (lastEventId >= 0)
        request += "Last-Event-ID: " + QByteArray::number(lastEventId) + "\r\n";
    request += "\r\n";
    if (fd_ >= 0 &&
        ::send(fd_, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size()) {
        ::close(fd_);
        fd_ = -1;
    }
}

EventStreamReader::~EventStreamReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool EventStreamReader::receive(int timeoutMs)
{
    if (fd_ < 0 || closed_)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, std::max(0, timeoutMs)) <= 0)
        return false;
    char buffer[4096];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        closed_ = true;
        return false;
    }
    raw_.append(buffer, int(n));
    if (status_ == 0) {
        int end = int(raw_.indexOf("\r\n\r\n"));
        if (end < 0)
            return true;
        QByteArray head = raw_.left(end);
        status_ = head.mid(9, 3).toInt();
        chunked_ = head.toLower().contains("transfer-encoding: chunked");
        raw_.remove(0, end + 4);
    }
    takeChunks();
    parseBody();
    return true;
}

void EventStreamReader::takeChunks()
{
    if (!chunked_) {
        text_ += raw_;
        raw_.clear();
        return;
    }
    for (;;) {
        int line = int(raw_.indexOf("\r\n"));
        if (line < 0)
            return;
        bool ok = false;
        int size = raw_.left(line).toInt(&ok, 16);
        if (!ok || raw_.size() < line + 2 + size + 2)
            return;
        text_ += raw_.mid(line + 2, size);
        raw_.remove(0, line + 2 + size + 2);
    }
}

void EventStreamReader::parseBody()
{
    for (;;) {
        int end = int(text_.indexOf("\n\n"));
        if (end < 0)
            return;
        QByteArray block = text_.left(end);
        text_.remove(0, end + 2);
        Event event;
        bool comment = true;
        for (const QByteArray &line : block.split('\n')) {
            if (line.startsWith("id: ")) {
                event.id = line.mid(4).toLongLong();
                comment = false;
            } else if (line.startsWith("data: ")) {
                event.data = line.mid(6);
                comment = false;
            }
        }
        if (comment)
            ++comments_;
        else
            events_.append(event);
    }
}

int EventStreamReader::status(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (status_ == 0 && std::chrono::steady_clock::now() < deadline)
        if (!receive(int(std::chrono::duration_cast<std::chrono::milliseconds>(
                             deadline - std::chrono::steady_clock::now())
                             .count())) &&
            closed_)
            break;
    return status_;
}

EventStreamReader::Event EventStreamReader::nextEvent(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (events_.isEmpty() && !closed_ && std::chrono::steady_clock::now() < deadline)
        receive(int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count()));
    return events_.isEmpty() ? Event{} : events_.takeFirst();
}

bool EventStreamReader::nextComment(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (comments_ == 0 && !closed_ && std::chrono::steady_clock::now() < deadline)
        receive(int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count()));
    if (comments_ == 0)
        return false;
    --comments_;
    return true;
}

bool EventStreamReader::closedByPeer(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_ && std::chrono::steady_clock::now() < deadline)
        receive(int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count()));
    return closed_;
}
