#pragma once

#include <QByteArray>
#include <QtGlobal>

// A connection to the service from a chosen loopback address (any of 127.0.0.0/8 is this
// machine), for requests an HTTP library would not send, and for callers at addresses of
// their own.
class RawConnection
{
public:
    RawConnection(quint16 port, const char *source = "127.0.0.1");
    ~RawConnection();
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // false once the service closed or refused the connection.
    bool send(const QByteArray &bytes);
    // What arrives until the service closes the connection, or until timeoutMs pass.
    QByteArray readAll(int timeoutMs = 5000) { return readUntil(QByteArray(), timeoutMs); }
    // The same, ending early once what arrived holds `marker` (never, for an empty one).
    QByteArray readUntil(const QByteArray &marker, int timeoutMs = 5000);
    bool closedByPeer() const { return closedByPeer_; }

    // One request on a new connection from source; the whole answer (the request should ask
    // for "Connection: close").
    static QByteArray exchange(quint16 port, const char *source, const QByteArray &request,
                               int timeoutMs = 15000);

private:
    int fd_ = -1;
    bool closedByPeer_ = false;
};
