#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <atomic>

struct HttpResponse
{
    long status = 0;
    QByteArray reasonPhrase; // from the status line, e.g. "Not Found"
    QByteArray contentType;
    QByteArray body;
};

// Blocking HTTP over libcurl without any event loop: a call blocks its caller and no
// timer tick can run meanwhile. Each calling thread keeps its own connection between calls
// (libcurl does not support sharing a connection cache between threads that call at the same
// time); DNS answers are shared process-wide. Calls from different threads may overlap.
// A transport failure (resolve, connect, send, receive, time-out, answer over 32 MiB, abort)
// throws TransportFailure: a Chinese sentence with libcurl's error text as its detail; a certificate that
// does not verify (see CertificateTrust) throws CertificateRefused before anything is sent. Proxies come from
// the environment (https_proxy, http_proxy, no_proxy), as libcurl reads them.
class HttpTransport
{
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    static HttpResponse get(const QString &url);
    static HttpResponse post(const QString &url, const Headers &headers, const QByteArray &body);

    // Connect time-out 10 s and whole-call time-out 30 s unless a test shortens them.
    static void setTimeouts(long connectMs, long totalMs);
    struct Timeouts
    {
        long connectMs;
        long totalMs;
    };
    static Timeouts timeouts();

    // Ends every transfer running now at once with the error "Aborted"; later ones run as
    // usual. The program calls it on its way out, so that no call can hold up the end.
    static void abortRunning();

    // While it lives, the calling thread's transfers end as soon as `cancelled` turns true: a
    // call the user stopped waiting for gives its thread back at once.
    class CancelScope
    {
    public:
        explicit CancelScope(const std::atomic<bool> &cancelled);
        ~CancelScope();
        CancelScope(const CancelScope &) = delete;
        CancelScope &operator=(const CancelScope &) = delete;

    private:
        const std::atomic<bool> *m_previous;
    };

    // While it lives, the calling thread's transfers end after at most `totalMs` (connecting
    // included), whatever the time-outs say: for a call that must not hold up what follows.
    class DeadlineScope
    {
    public:
        explicit DeadlineScope(long totalMs);
        ~DeadlineScope();
        DeadlineScope(const DeadlineScope &) = delete;
        DeadlineScope &operator=(const DeadlineScope &) = delete;

    private:
        long m_previous;
    };
};
