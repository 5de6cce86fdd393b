#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// One open server-sent event stream: the answer to a request that stays open, to which the
// application sends events from any thread. It holds what one slow peer may cost within
// bounds: a small write queue (a reader that does not keep up is closed, not buffered for),
// a deadline for each write, and a comment every keep-alive period, which keeps proxies from
// closing a quiet stream and lets the peer tell a live stream from a dead one.
// EventStreamSession carries it over plain HTTP or TLS.
class EventStream
{
public:
    struct Limits
    {
        std::size_t queuedBytes = 16 * 1024; // written but not yet taken by the peer
        std::chrono::milliseconds write{10000};
        std::chrono::milliseconds keepAlive{15000};
    };

    // Why a stream ended: its peer or the service closed it, or the peer did not take what was
    // written in time (the queue overflowed or a write outlived its deadline).
    enum class Ending { Closed, SlowReader };

    // What the front end does for its streams.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // Called once per stream, just before its socket closes.
        virtual void ended(EventStream *stream, const std::string &peer, Ending why) = 0;
        // Called each time an event (not a keep-alive comment) has been written whole.
        virtual void eventWritten() = 0;
    };

    virtual ~EventStream() = default;

    // Runs once when the stream ends, on the stream's executor. Set it before start().
    void onEnd(std::function<void()> handler) { endHandler_ = std::move(handler); }
    // Writes the answer's head, then what was sent, and starts the keep-alive comments.
    virtual void start(std::string head) = 0;
    // Queues one event as written ("id: 7\ndata: ...\n\n"). Any thread; nothing happens once
    // the stream has ended.
    virtual void send(std::string event) = 0;
    // Ends the stream at once.
    virtual void stop() = 0;

    const std::string &peer() const { return peer_; }

protected:
    explicit EventStream(std::string peer) : peer_(std::move(peer)) {}
    void runEndHandler()
    {
        if (auto handler = std::move(endHandler_))
            handler();
    }

private:
    std::string peer_;
    std::function<void()> endHandler_;
};
