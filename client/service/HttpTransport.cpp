#include "HttpTransport.h"

#include "CertificateRefused.h"
#include "CertificateTrust.h"
#include "TransportFailure.h"

#include <QUrl>

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

constexpr curl_off_t MaxAnswerBytes = 32 * 1024 * 1024;

std::atomic<long> connectTimeoutMs{10000};
std::atomic<long> totalTimeoutMs{30000};

// abortRunning() moves this on; a transfer that started under an earlier value ends.
std::atomic<unsigned> abortGeneration{0};
thread_local const std::atomic<bool> *threadCancelled = nullptr;
thread_local long threadDeadlineMs = 0; // 0: none

// DNS answers are shared process-wide: libcurl supports sharing its DNS cache between threads
// that call at the same time, given these locks. Its connection cache it does not support
// sharing that way, so connections are kept per thread instead (below).
class SharedDns
{
public:
    SharedDns()
    {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        share = curl_share_init();
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &SharedDns::lock);
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &SharedDns::unlock);
        curl_share_setopt(share, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    // Deliberately never cleaned up: easy handles of other threads may still be torn down
    // after this one, and the process exit releases everything anyway.
    CURLSH *share = nullptr;

private:
    static void lock(CURL *, curl_lock_data data, curl_lock_access, void *self)
    {
        static_cast<SharedDns *>(self)->mutexes[slot(data)].lock();
    }
    static void unlock(CURL *, curl_lock_data data, void *self)
    {
        static_cast<SharedDns *>(self)->mutexes[slot(data)].unlock();
    }
    static int slot(curl_lock_data data) { return data >= 0 && data < CURL_LOCK_DATA_LAST ? data : 0; }

    std::mutex mutexes[CURL_LOCK_DATA_LAST];
};

CURLSH *sharedDns()
{
    static SharedDns *dns = new SharedDns;
    return dns->share;
}

struct EasyDeleter
{
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};

// One easy handle per calling thread. An easy handle keeps its own connection cache across
// curl_easy_reset, so the poll tick's worker thread and the user-interface thread each reuse
// their connection without ever touching the other's. The handle is cleaned up when its
// thread ends.
CURL *threadHandle()
{
    thread_local std::unique_ptr<CURL, EasyDeleter> easy;
    if (!easy) {
        sharedDns(); // initialises libcurl before the first handle
        easy.reset(curl_easy_init());
        if (!easy)
            throw std::runtime_error("Cannot create an HTTP transfer");
    }
    return easy.get();
}

// Puts the handle's options back to their defaults when a call ends, however it ends: the
// options point at buffers of that call, which must not outlive it in the handle.
class HandleReset
{
public:
    explicit HandleReset(CURL *easy) : m_easy(easy) {}
    ~HandleReset() { curl_easy_reset(m_easy); }
    HandleReset(const HandleReset &) = delete;
    HandleReset &operator=(const HandleReset &) = delete;

private:
    CURL *m_easy;
};

struct Transfer
{
    HttpResponse response;
    bool tooLarge = false;
    unsigned generation = abortGeneration.load();
    const std::atomic<bool> *cancelled = threadCancelled;
    bool aborted = false;
};

// libcurl asks this about once a second and whenever data moves; a non-zero answer ends the
// transfer with CURLE_ABORTED_BY_CALLBACK. Without it a hung service would hold the caller
// until the time-out.
int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *transfer = static_cast<Transfer *>(user);
    transfer->aborted = transfer->generation != abortGeneration.load() ||
                        (transfer->cancelled && transfer->cancelled->load());
    return transfer->aborted ? 1 : 0;
}

long effectiveTimeout(long configuredMs)
{
    return threadDeadlineMs > 0 ? std::min(configuredMs, threadDeadlineMs) : configuredMs;
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *transfer = static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    if (transfer->response.body.size() + static_cast<qsizetype>(bytes) > MaxAnswerBytes) {
        transfer->tooLarge = true;
        return 0; // aborts the transfer with CURLE_WRITE_ERROR
    }
    transfer->response.body.append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

// Only the status line is of interest here: libcurl reports the code but not the reason
// phrase, which the caller's error text needs ("Not Found (404) - ...").
size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *transfer = static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    const QByteArray line = QByteArray::fromRawData(data, static_cast<qsizetype>(bytes)).trimmed();
    if (line.startsWith("HTTP/")) {
        // "HTTP/1.1 404 Not Found": a later status line (after 100 Continue) replaces this one.
        const qsizetype codeStart = line.indexOf(' ');
        const qsizetype reasonStart = codeStart < 0 ? -1 : line.indexOf(' ', codeStart + 1);
        transfer->response.reasonPhrase = reasonStart < 0 ? QByteArray() : line.mid(reasonStart + 1);
        transfer->response.body.clear();
    }
    return bytes;
}

// libcurl's OpenSSL context for each new TLS connection, already holding the system's
// authorities: the extra ones of a private deployment join them.
CURLcode addExtraAuthorities(CURL *, void *context, void *)
{
    CertificateTrust::addExtraAuthorities(static_cast<SSL_CTX *>(context));
    return CURLE_OK;
}

// A certificate that does not verify stops the call before the request is written, so the
// subscriber hears which host and why, and that nothing was sent.
[[noreturn]] void refuseCertificate(CURL *h, const QString &url, CURLcode result, const char *errorText)
{
    long verification = 0;
    curl_easy_getinfo(h, CURLINFO_SSL_VERIFYRESULT, &verification);
    const QString detail = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(result));
    QString reason;
    if (result == CURLE_SSL_CONNECT_ERROR)
        reason = QStringLiteral("无法建立加密连接（%1）").arg(detail);
    else if (verification == 0) // the chain verified, the name did not (libcurl checks it itself)
        reason = CertificateTrust::reason(X509_V_ERR_HOSTNAME_MISMATCH, detail);
    else
        reason = CertificateTrust::reason(verification, detail);
    throw CertificateRefused(QUrl(url).host(), reason);
}

// "host:port" as the subscriber knows the service, without any credentials the address holds.
QString addressOf(const QString &url)
{
    const QUrl parsed(url);
    return parsed.port() < 0 ? parsed.host()
                             : parsed.host() + QLatin1Char(':') + QString::number(parsed.port());
}

TransportFailure::Kind failureKind(CURLcode result)
{
    using Kind = TransportFailure::Kind;
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Kind::CannotResolve;
    case CURLE_COULDNT_CONNECT:
        return Kind::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return Kind::NoAnswer;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return Kind::ConnectionLost;
    default:
        return Kind::Other;
    }
}

struct ListDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

HttpResponse perform(const QString &url, const HttpTransport::Headers &headers, const QByteArray *postBody)
{
    CURL *h = threadHandle();
    const HandleReset resetWhenDone(h);
    Transfer transfer;
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray urlBytes = url.toUtf8();

    std::unique_ptr<curl_slist, ListDeleter> headerList;
    auto addHeader = [&headerList](const QByteArray &line) {
        curl_slist *grown = curl_slist_append(headerList.get(), line.constData());
        if (!grown)
            throw std::runtime_error("Cannot build the HTTP request headers");
        headerList.release();
        headerList.reset(grown);
    };
    for (const auto &[name, value] : headers)
        addHeader(name + ": " + value);
    // libcurl would otherwise ask larger POSTs to wait for "100 Continue", which some
    // servers never send: the request then stalls for a second for nothing.
    addHeader("Expect:");

    curl_easy_setopt(h, CURLOPT_SHARE, sharedDns());
    curl_easy_setopt(h, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, effectiveTimeout(connectTimeoutMs.load()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, effectiveTimeout(totalTimeoutMs.load()));
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, MaxAnswerBytes);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "StockAlert/1.0");
    // Verification is libcurl's default; said here so that nobody mistakes it for a choice.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, &addExtraAuthorities);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    if (postBody) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, postBody->constData());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode result = curl_easy_perform(h);
    if (result == CURLE_FILESIZE_EXCEEDED || (result == CURLE_WRITE_ERROR && transfer.tooLarge))
        throw TransportFailure(TransportFailure::Kind::TooLarge, addressOf(url),
                               QStringLiteral("The answer is larger than 32 MiB"));
    if (result == CURLE_PEER_FAILED_VERIFICATION || result == CURLE_SSL_CONNECT_ERROR)
        refuseCertificate(h, url, result, errorText);
    if (result == CURLE_ABORTED_BY_CALLBACK && transfer.aborted)
        throw TransportFailure(TransportFailure::Kind::Aborted, addressOf(url), QStringLiteral("Aborted"));
    if (result != CURLE_OK)
        throw TransportFailure(failureKind(result), addressOf(url),
                               QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(result)));

    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    transfer.response.status = status;
    const char *contentType = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        transfer.response.contentType = contentType;
    return std::move(transfer.response);
}

} // namespace

HttpResponse HttpTransport::get(const QString &url)
{
    return perform(url, {}, nullptr);
}

HttpResponse HttpTransport::post(const QString &url, const Headers &headers, const QByteArray &body)
{
    return perform(url, headers, &body);
}

HttpTransport::Timeouts HttpTransport::timeouts()
{
    return {connectTimeoutMs.load(), totalTimeoutMs.load()};
}

void HttpTransport::setTimeouts(long connectMs, long totalMs)
{
    connectTimeoutMs = connectMs;
    totalTimeoutMs = totalMs;
}

void HttpTransport::abortRunning()
{
    ++abortGeneration;
}

HttpTransport::CancelScope::CancelScope(const std::atomic<bool> &cancelled) : m_previous(threadCancelled)
{
    threadCancelled = &cancelled;
}

HttpTransport::CancelScope::~CancelScope()
{
    threadCancelled = m_previous;
}

HttpTransport::DeadlineScope::DeadlineScope(long totalMs) : m_previous(threadDeadlineMs)
{
    threadDeadlineMs = totalMs;
}

HttpTransport::DeadlineScope::~DeadlineScope()
{
    threadDeadlineMs = m_previous;
}
