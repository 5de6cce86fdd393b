#pragma once

#include "console/ConsoleSessions.h"
#include "http/RequestHandler.h"
#include "service/LoginThrottle.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class RequestCounters;
class Store;

// The operators' web console on its own listener: sign-in, overview, publishing and revising,
// subscribers, applications, configuration, the audit list, and the service's metrics.
// Server-rendered pages in Chinese with a script of its own. Every page but sign-in needs a
// session; every form carries the session's token; every change is written to the audit
// table with operator, time and address. Failed sign-ins are slowed down per address as the
// subscribers' password checks are.
class ConsoleRoutes : public RequestHandler
{
public:
    struct Options
    {
        bool secureCookies = false; // the listener speaks TLS: cookies only over it
        // The subscribers' front end, for the overview and the metrics; may be null.
        const RequestCounters *serviceCounters = nullptr;
        // Told of each operator action (for the log): operator, address, action.
        std::function<void(const std::string &, const std::string &, const std::string &)> actionLog;
        ConsoleSessions::Limits sessions;
    };

    ConsoleRoutes(Store &store, Options options);

    void answer(const HttpRequest &request, const boost::asio::any_io_executor &executor,
                Reply reply) override;
    std::string operationOf(const HttpRequest &request) const override;

private:
    std::chrono::milliseconds holdFor(const HttpRequest &request);
    HttpAnswer answerNow(const HttpRequest &request);
    using Form = std::vector<std::pair<std::string, std::string>>;
    struct Visit
    {
        const HttpRequest &request;
        ConsoleSessions::Session session;
        Form query;
        Form form;
    };

    HttpAnswer route(const HttpRequest &request);
    HttpAnswer signInPage(const HttpRequest &request, const std::string &message, int status);
    HttpAnswer signIn(const HttpRequest &request);
    HttpAnswer signOut(const HttpRequest &request);
    HttpAnswer signedIn(Visit &visit);

    HttpAnswer overview(Visit &visit);
    HttpAnswer publishPage(Visit &visit, const std::string &message = {}, bool error = false,
                           int status = 200);
    HttpAnswer publish(Visit &visit);
    HttpAnswer revise(Visit &visit);
    HttpAnswer subscribersPage(Visit &visit, const std::string &message = {}, bool error = false,
                               int status = 200);
    HttpAnswer subscriberAction(Visit &visit, const std::string &action);
    HttpAnswer applicationsPage(Visit &visit, const std::string &message = {}, bool error = false,
                                int status = 200);
    HttpAnswer applicationAction(Visit &visit, const std::string &action);
    HttpAnswer configPage(Visit &visit, const std::string &message = {}, bool error = false,
                          int status = 200);
    HttpAnswer saveConfig(Visit &visit);
    HttpAnswer auditPage(Visit &visit);
    HttpAnswer metrics();

    HttpAnswer html(Visit &visit, const std::string &title, const std::string &active,
                    const std::string &body, const std::string &message, bool error, int status);
    void record(const Visit &visit, const std::string &action);
    std::string sessionCookie(const std::string &token, int maxAgeSeconds) const;
    double requestRate();

    Store &store_;
    Options options_;
    ConsoleSessions sessions_;
    LoginThrottle throttle_;
    std::mutex rateMutex_;
    std::chrono::steady_clock::time_point rateSampledAt_;
    std::uint64_t rateSampledTotal_ = 0;
};
