#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkReply;

// The service's change stream (server-sent events on GET /events): it only says "something
// changed, tick now". Polling stays the source of truth: a service without the stream, or a
// stream that fails, leaves the client polling as before, and the stream is tried again
// after a back-off. Everything runs on the thread that owns it, without blocking.
//
// A stream is opened again, with one tick, when nothing (no event, no keep-alive comment) has
// arrived for a while, when the computer wakes from sleep (the wall clock jumps against the
// monotonic one) and when the network changes. Over HTTPS it trusts what the client's calls
// trust: the system's authorities and those of a private deployment (CertificateTrust).
class ChangeStream : public QObject
{
    Q_OBJECT

public:
    struct Timing
    {
        std::chrono::milliseconds silence{45000};       // the service comments every 15 s
        std::chrono::milliseconds firstRetry{5000};     // after a refusal or a failure
        std::chrono::milliseconds longestRetry{300000}; // the back-off doubles up to this
        std::chrono::milliseconds clockCheck{5000};     // how often a wake from sleep is looked for
    };

    // The two clocks a wake from sleep is told by, each read as milliseconds from a point of its
    // own.
    struct Clocks
    {
        std::function<std::chrono::milliseconds()> monotonic; // stands still while the computer sleeps
        std::function<std::chrono::milliseconds()> wall;      // goes on meanwhile
    };
    // CLOCK_MONOTONIC (std::chrono::steady_clock) and the system's time of day.
    static Clocks systemClocks();

    explicit ChangeStream(QObject *parent = nullptr);
    ~ChangeStream() override;

    void setTiming(const Timing &timing) { m_timing = timing; }
    // Before start().
    void setClocks(Clocks clocks) { m_clocks = std::move(clocks); }
    // Opens the stream at url and keeps it open until stop().
    void start(const QUrl &url);
    void stop();

    // Whether a stream is open and has answered 200 as an event stream.
    bool isOpen() const { return m_open; }
    // The wait before the next attempt after a failure (0 while none is planned).
    std::chrono::milliseconds retryIn() const
    {
        return m_retryPlanned ? m_plannedWait : std::chrono::milliseconds(0);
    }

    // The network changed (QNetworkInformation: it came back, or the computer moved to another
    // one): the stream's connection may be dead without knowing it, so unless the network is
    // down it is opened anew with one tick, and a planned retry is not waited for.
    void networkChanged(QNetworkInformation::Reachability reachability);

signals:
    // Tick now: an event arrived, or the stream was opened again after it may have missed one.
    void tickWanted();

private:
    void open();
    void reopen();
    bool acceptHead();
    void readAvailable();
    void takeLines();
    void ended();
    void failed();
    void dropReply();
    void checkClock();

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    Timing m_timing;
    QTimer m_silence;
    QTimer m_retry;
    QTimer m_clock;
    Clocks m_clocks = systemClocks();
    std::chrono::milliseconds m_lastMonotonic{0};
    std::chrono::milliseconds m_lastWall{0};
    QElapsedTimer m_openedFor;
    QSslConfiguration m_tls; // the authorities, read at start()
    QByteArray m_pending;
    QByteArray m_lastEventId;
    bool m_eventHasData = false;
    bool m_open = false;
    bool m_started = false;
    bool m_retryPlanned = false;
    bool m_tickOnOpen = false;
    std::chrono::milliseconds m_backOff{0};
    std::chrono::milliseconds m_plannedWait{0};
};
