#include "store/PostgresChangeWatch.h"

#include <libpq-fe.h>

#include <poll.h>
#include <thread>

PostgresChangeWatch::~PostgresChangeWatch()
{
    drop();
}

void PostgresChangeWatch::drop()
{
    if (conn_)
        PQfinish(conn_);
    conn_ = nullptr;
}

bool PostgresChangeWatch::connect()
{
    // Keep-alives find a database machine that vanished without closing the connection.
    const char *keywords[] = {"connect_timeout",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "fallback_application_name",
                              "dbname",
                              nullptr};
    const char *values[] = {"5", "10", "5", "3", "stock-alert-service", uri_.c_str(), nullptr};
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
        drop();
        return false;
    }
    PGresult *result = PQexec(conn_, (std::string("LISTEN ") + channel).c_str());
    bool listening = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    if (!listening || PQsetnonblocking(conn_, 1) != 0) {
        drop();
        return false;
    }
    return true;
}

ChangeWatch::Event PostgresChangeWatch::wait(std::chrono::milliseconds timeout)
{
    if (!conn_) {
        auto now = std::chrono::steady_clock::now();
        if (now < nextAttempt_) {
            std::this_thread::sleep_for(
                std::min(timeout, std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt_ - now)));
            return Event::Quiet;
        }
        nextAttempt_ = now + std::chrono::seconds(1);
        return connect() ? Event::Resumed : Event::Quiet;
    }
    pollfd socket{PQsocket(conn_), POLLIN, 0};
    if (::poll(&socket, 1, int(timeout.count())) < 0)
        return Event::Quiet;
    if (PQconsumeInput(conn_) != 1 || PQstatus(conn_) != CONNECTION_OK) {
        drop();
        return Event::Lost;
    }
    bool changed = false;
    while (PGnotify *notification = PQnotifies(conn_)) {
        changed = true;
        PQfreemem(notification);
    }
    return changed ? Event::Changed : Event::Quiet;
}
