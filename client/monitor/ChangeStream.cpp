#include "ChangeStream.h"

#include "CertificateTrust.h"

#include <QDateTime>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>

namespace {

// A line longer than this is not an event of ours: the stream is dropped, not buffered.
constexpr qsizetype longestLine = 64 * 1024;

// The system's authorities, and those a private deployment adds (as the client's calls trust
// them); the default configuration alone when there are none.
QSslConfiguration withExtraAuthorities()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const QStringList files = CertificateTrust::extraAuthorityFiles();
    if (files.isEmpty())
        return configuration;
    QList<QSslCertificate> authorities = QSslConfiguration::systemCaCertificates();
    for (const QString &file : files)
        authorities += QSslCertificate::fromPath(file, QSsl::Pem);
    configuration.setCaCertificates(authorities);
    return configuration;
}

} // namespace

ChangeStream::Clocks ChangeStream::systemClocks()
{
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    return {[] { return duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()); },
            [] { return milliseconds(QDateTime::currentMSecsSinceEpoch()); }};
}

ChangeStream::ChangeStream(QObject *parent) : QObject(parent)
{
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, &ChangeStream::reopen);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        m_retryPlanned = false;
        open();
    });
    connect(&m_clock, &QTimer::timeout, this, &ChangeStream::checkClock);
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        QNetworkInformation *network = QNetworkInformation::instance();
        connect(network, &QNetworkInformation::reachabilityChanged, this, &ChangeStream::networkChanged);
        // From one network to another (cable to wireless) while reachable all along.
        connect(network, &QNetworkInformation::transportMediumChanged, this,
                [this, network] { networkChanged(network->reachability()); });
    }
}

ChangeStream::~ChangeStream()
{
    stop();
}

void ChangeStream::start(const QUrl &url)
{
    m_url = url;
    m_started = true;
    m_backOff = m_timing.firstRetry;
    if (m_url.scheme() == QLatin1String("https"))
        m_tls = withExtraAuthorities();
    m_lastMonotonic = m_clocks.monotonic();
    m_lastWall = m_clocks.wall();
    m_clock.start(int(m_timing.clockCheck.count()));
    open();
}

void ChangeStream::stop()
{
    m_started = false;
    m_open = false;
    m_silence.stop();
    m_retry.stop();
    m_clock.stop();
    m_retryPlanned = false;
    dropReply();
}

void ChangeStream::open()
{
    if (!m_started)
        return;
    QNetworkRequest request(m_url);
    request.setRawHeader("Accept", "text/event-stream");
    request.setRawHeader("Cache-Control", "no-cache");
    if (!m_lastEventId.isEmpty())
        request.setRawHeader("Last-Event-ID", m_lastEventId);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    if (m_url.scheme() == QLatin1String("https"))
        request.setSslConfiguration(m_tls);
    m_pending.clear();
    m_eventHasData = false;
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ChangeStream::acceptHead);
    connect(m_reply, &QNetworkReply::readyRead, this, &ChangeStream::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &ChangeStream::ended);
    m_silence.start(int(m_timing.silence.count()));
}

void ChangeStream::reopen()
{
    if (!m_started)
        return;
    // The stream may have missed a change while it was dead: one tick once it is back.
    m_tickOnOpen = true;
    dropReply();
    m_open = false;
    m_retry.stop();
    m_retryPlanned = false;
    open();
}

bool ChangeStream::acceptHead()
{
    if (m_open)
        return true;
    if (!m_reply)
        return false;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray type = m_reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    if (status != 200 || !type.startsWith("text/event-stream")) {
        failed();
        return false;
    }
    m_open = true;
    m_openedFor.start();
    if (std::exchange(m_tickOnOpen, false))
        emit tickWanted();
    return true;
}

void ChangeStream::readAvailable()
{
    if (!acceptHead())
        return;
    m_silence.start(int(m_timing.silence.count()));
    m_pending += m_reply->readAll();
    takeLines();
}

void ChangeStream::takeLines()
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_pending.indexOf('\n', start);
        if (end < 0)
            break;
        QByteArray line = m_pending.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty()) {
            // An event ends at a blank line; a comment alone is only a sign of life.
            if (std::exchange(m_eventHasData, false))
                emit tickWanted();
        } else if (line.startsWith("id:")) {
            m_lastEventId = line.mid(3).trimmed().left(32);
        } else if (line.startsWith("data:")) {
            m_eventHasData = true;
        }
    }
    m_pending.remove(0, start);
    if (m_pending.size() > longestLine)
        failed();
}

void ChangeStream::ended()
{
    // A stream that worked a while and ended (the service restarted) is tried again at once,
    // and the back-off starts over; one that ends as soon as it opened counts as a failure.
    const bool wasOpen = m_open && m_openedFor.isValid() && m_openedFor.elapsed() >= 1000;
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->deleteLater();
    }
    m_open = false;
    m_silence.stop();
    if (!m_started)
        return;
    if (wasOpen) {
        m_backOff = m_timing.firstRetry;
        m_tickOnOpen = true;
        open();
        return;
    }
    failed();
}

void ChangeStream::failed()
{
    dropReply();
    m_open = false;
    m_silence.stop();
    if (!m_started || m_retryPlanned)
        return;
    // Polling goes on meanwhile; a service without the stream is asked again less and less.
    m_retryPlanned = true;
    m_tickOnOpen = true;
    m_plannedWait = m_backOff;
    m_retry.start(int(m_plannedWait.count()));
    m_backOff = std::min(m_backOff * 2, m_timing.longestRetry);
}

void ChangeStream::dropReply()
{
    // Deleting a reply that has not finished aborts it; abort() itself would report a second
    // error for a reply that already failed (a 404).
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->deleteLater();
    }
}

void ChangeStream::networkChanged(QNetworkInformation::Reachability reachability)
{
    if (reachability != QNetworkInformation::Reachability::Disconnected)
        reopen();
}

void ChangeStream::checkClock()
{
    // The monotonic clock stands still while the computer sleeps; the wall clock does not. A
    // wall clock set back, or forward by less than two checks, is no sleep.
    const auto monotonic = m_clocks.monotonic();
    const auto wall = m_clocks.wall();
    const auto slept = (wall - m_lastWall) - (monotonic - m_lastMonotonic);
    m_lastMonotonic = monotonic;
    m_lastWall = wall;
    if (slept > m_timing.clockCheck * 2)
        reopen();
}
