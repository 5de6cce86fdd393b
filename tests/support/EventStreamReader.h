#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A subscriber of a server-sent event stream on a raw socket from a chosen loopback address,
// for tests of the service's /events: it reads the answer's head, then events and comments
// as they come (chunked framing undone).
class EventStreamReader
{
public:
    struct Event
    {
        qint64 id = -1;
        QByteArray data;
    };

    // Connects and sends "GET target"; lastEventId < 0 sends no Last-Event-ID. receiveBuffer
    // > 0 shrinks the socket's receive buffer (a reader that barely reads).
    EventStreamReader(quint16 port, const QByteArray &target, qint64 lastEventId = -1,
                      const char *source = "127.0.0.1", int receiveBuffer = 0);
    ~EventStreamReader();
    EventStreamReader(const EventStreamReader &) = delete;
    EventStreamReader &operator=(const EventStreamReader &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The status code of the answer, waiting at most timeoutMs for its head; 0 for none.
    int status(int timeoutMs = 5000);
    // The next event, waiting at most timeoutMs; an event with id -1 when none came.
    Event nextEvent(int timeoutMs = 5000);
    // Waits at most timeoutMs for a comment line (": ..."); false when none came.
    bool nextComment(int timeoutMs);
    // Whether the service closed the stream, waiting at most timeoutMs for it.
    bool closedByPeer(int timeoutMs);

private:
    bool receive(int timeoutMs);
    void takeChunks();

    int fd_ = -1;
    bool closed_ = false;
    QByteArray raw_;  // as received, after the head
    QByteArray text_; // the body, framing removed
    bool chunked_ = false;
    int status_ = 0;
    QList<Event> events_;
    int comments_ = 0;
    void parseBody();
};
