#pragma once

#include "store/ChangeWatch.h"

#include <chrono>
#include <string>

struct pg_conn;

// LISTENs on a connection of its own for the notifications the counting triggers send with
// each commit that adds or revises an item, whichever instance or command made it. A lost
// connection is reconnected (once a second at most), and Resumed tells the reader to read
// everything again, since notifications sent meanwhile are gone.
class PostgresChangeWatch : public ChangeWatch
{
public:
    explicit PostgresChangeWatch(std::string uri) : uri_(std::move(uri)) {}
    ~PostgresChangeWatch() override;

    Event wait(std::chrono::milliseconds timeout) override;
    bool tellsEveryChange() const override { return true; }

    // The channel the triggers notify.
    static constexpr const char *channel = "stock_alert_change";

private:
    bool connect();
    void drop();

    std::string uri_;
    pg_conn *conn_ = nullptr;
    std::chrono::steady_clock::time_point nextAttempt_{};
};
