#include "cli/ServeCommand.h"

#include "cli/DemoData.h"
#include "console/ConsoleRoutes.h"
#include "http/JsonText.h"
#include "http/RequestLog.h"
#include "service/ServiceRoutes.h"
#include "store/Store.h"
#include "store/WorkerPool.h"

#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <ostream>
#include <random>
#include <sys/resource.h>
#include <thread>

namespace net = boost::asio;

namespace {

// Publishes a random demo item every period until stopped. Runs on the strand it is given,
// like the stop, so a step and the stop never overlap.
class DemoFeed
{
public:
    DemoFeed(net::strand<net::io_context::executor_type> strand, Store &store, WorkerPool &workers,
             std::chrono::seconds period, bool log)
        : timer_(strand), store_(store), workers_(workers), period_(period), log_(log),
          random_(std::random_device{}())
    {
    }

    void start() { waitForNext(); }
    void stop()
    {
        stopped_ = true;
        timer_.cancel();
    }

private:
    void waitForNext()
    {
        timer_.expires_after(period_);
        timer_.async_wait([this](boost::system::error_code error) {
            if (error || stopped_)
                return;
            publish();
            waitForNext();
        });
    }

    void publish()
    {
        // On a store worker: the feed's thread also reads and writes connections.
        // One item at a time: a slow database must not make the items pile up.
        if (publishing_.exchange(true))
            return;
        auto deadline = WorkerPool::Clock::now() + std::chrono::seconds(5);
        bool queued = workers_.submit(deadline, [this, deadline](bool expired) {
            struct Done
            {
                std::atomic<bool> &flag;
                ~Done() { flag = false; }
            } done{publishing_};
            if (expired)
                return;
            try {
                Store::Deadline bounded(deadline);
                std::string line = DemoData::publishRandomItem(store_, random_);
                if (log_)
                    std::fprintf(stderr, "demo feed: published %s\n", line.c_str());
            } catch (const std::exception &error) {
                std::fprintf(stderr, "demo feed: %s\n", error.what());
            }
        });
        if (!queued)
            publishing_ = false;
    }

    net::steady_timer timer_;
    Store &store_;
    WorkerPool &workers_;
    std::chrono::seconds period_;
    bool log_;
    std::mt19937 random_;
    std::atomic<bool> publishing_{false};
    bool stopped_ = false;
};

// Brings the schema up to date on a store worker, again every few seconds until the
// database answers: the service starts while its database is down.
class SchemaUpgrade
{
public:
    SchemaUpgrade(net::strand<net::io_context::executor_type> strand, Store &store, WorkerPool &workers)
        : timer_(strand), store_(store), workers_(workers)
    {
    }

    void start() { attempt(); }
    void stop()
    {
        stopped_ = true;
        timer_.cancel();
    }

private:
    void attempt()
    {
        auto deadline = WorkerPool::Clock::now() + std::chrono::seconds(30);
        workers_.submit(deadline, [this, deadline](bool expired) {
            bool done = false;
            if (!expired) {
                try {
                    Store::Deadline bounded(deadline);
                    store_.upgradeSchema();
                    done = true;
                } catch (const std::exception &error) {
                    std::fprintf(stderr, "database not ready (%s); trying again in 5 s\n", error.what());
                }
            }
            if (!done)
                net::post(timer_.get_executor(), [this] { retryLater(); });
        });
    }

    void retryLater()
    {
        if (stopped_)
            return;
        timer_.expires_after(std::chrono::seconds(5));
        timer_.async_wait([this](boost::system::error_code error) {
            if (!error && !stopped_)
                attempt();
        });
    }

    net::steady_timer timer_;
    Store &store_;
    WorkerPool &workers_;
    bool stopped_ = false;
};

// Every event stream holds a socket for as long as its subscriber is signed in: the soft
// limit on open files (often 1,024) is raised to the hard one the system allows.
void raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void reloadCertificate(TlsContext *tls, std::ostream &err)
{
    if (!tls) {
        err << "SIGHUP: no certificate to reload (plain HTTP)" << std::endl;
        return;
    }
    try {
        tls->reload();
        err << "SIGHUP: reloaded " << tls->certificateFile() << std::endl;
    } catch (const std::exception &error) {
        err << "SIGHUP: kept the certificate in use: " << error.what() << std::endl;
    }
}

// Each operator action on one line of standard error (as a JSON object with --log-format json).
void logAction(bool json, const std::string &operatorName, const std::string &address,
               const std::string &action)
{
    std::string line = json ? "{\"time\":" + JsonText::quoted(RequestLog::logTime()) +
                                  ",\"event\":\"operator-action\"," +
                                  "\"operator\":" + JsonText::quoted(operatorName) +
                                  ",\"address\":" + JsonText::quoted(address) +
                                  ",\"action\":" + JsonText::quoted(action) + "}\n"
                            : RequestLog::logTime() + " " + address + " operator " +
                                  JsonText::quoted(operatorName) + ": " + JsonText::quoted(action) + "\n";
    std::fputs(line.c_str(), stderr);
}

} // namespace

int ServeCommand::run(const Settings &settings, std::ostream &out, std::ostream &err)
{
    // A peer that closes while its answer is written is an error of that write, not the end
    // of the process.
    std::signal(SIGPIPE, SIG_IGN);

    auto store = Store::open(settings.database);
    raiseOpenFileLimit();
    // Declared after the store and before what uses them: they end (joining their threads)
    // after the service and before the store.
    WorkerPool storeWorkers(settings.storeThreads, 1024);
    WorkerPool hashingWorkers(settings.hashingThreads, 64);
    ServiceRoutes::Settings routesSettings;
    routesSettings.service.maxPendingApplications = settings.maxPendingApplications;
    ServiceRoutes routes(*store, {storeWorkers, hashingWorkers}, routesSettings);
    // The service's own publishing (the demo feed) reaches the streams at once; everyone
    // else's through the store's watch.
    store->onItemsChanged([&routes] { routes.changeFeed().refresh(); });
    routes.changeFeed().startWatching();
    HttpFrontEnd frontEnd(routes, settings.http);
    int port = frontEnd.bind();
    routes.setPublicSite(settings.publicUrl.empty() ? frontEnd.siteAddress() : settings.publicUrl);

    // The console: its own listener, threads and handler, so the subscribers' limits and
    // its own never mix.
    std::unique_ptr<ConsoleRoutes> console;
    std::unique_ptr<HttpFrontEnd> adminFrontEnd;
    if (settings.adminPort >= 0) {
        ConsoleRoutes::Options consoleOptions;
        consoleOptions.serviceCounters = &frontEnd.counters();
        // The console speaks TLS with the service's certificate when there is one; its
        // cookies then never travel without it.
        consoleOptions.secureCookies = bool(settings.http.tls);
        bool log = settings.http.log, json = settings.http.jsonLog;
        consoleOptions.actionLog = [log, json](const std::string &name, const std::string &address,
                                               const std::string &action) {
            if (log)
                logAction(json, name, address, action);
        };
        console = std::make_unique<ConsoleRoutes>(*store, consoleOptions);
        HttpFrontEnd::Options adminOptions = settings.http;
        adminOptions.host = settings.adminHost;
        adminOptions.port = settings.adminPort;
        adminOptions.threads = 2;
        adminFrontEnd = std::make_unique<HttpFrontEnd>(*console, adminOptions);
        int adminPort = adminFrontEnd->bind();
        out << "console on " << (settings.http.tls ? "https://" : "http://") << settings.shownAdminHost << ":"
            << adminPort << std::endl;
    }

    auto strand = net::make_strand(frontEnd.ioContext());
    SchemaUpgrade upgrade(strand, *store, storeWorkers);
    upgrade.start();
    DemoFeed feed(strand, *store, storeWorkers, std::chrono::seconds(settings.demoFeedSeconds),
                  settings.http.log);
    if (settings.demoFeedSeconds > 0)
        feed.start();
    // Renewed certificates are taken without a restart: open connections keep theirs.
    net::signal_set reloadSignals(strand, SIGHUP);
    std::function<void()> waitForReload = [&] {
        reloadSignals.async_wait([&](boost::system::error_code error, int) {
            if (error)
                return;
            reloadCertificate(settings.http.tls.get(), err);
            waitForReload();
        });
    };
    waitForReload();
    // Asio turns the signal into a handler call on the I/O context, so a signal never
    // interrupts a request half-way. The waits are in place before anyone is told to connect.
    net::signal_set stopSignals(strand, SIGINT, SIGTERM);
    stopSignals.async_wait([&](boost::system::error_code error, int) {
        if (error)
            return;
        upgrade.stop();
        feed.stop();
        reloadSignals.cancel();
        frontEnd.stop();
        if (adminFrontEnd)
            adminFrontEnd->stop();
    });
    out << "listening on " << (settings.http.tls ? "https://" : "http://") << settings.shownHost << ":"
        << port << std::endl;

    std::thread adminThread;
    if (adminFrontEnd)
        adminThread = std::thread([&] { adminFrontEnd->run(); });
    frontEnd.run();
    if (adminThread.joinable())
        adminThread.join();
    // Work still queued or running refers to the feed and the schema upgrade.
    hashingWorkers.stop();
    storeWorkers.stop();
    routes.changeFeed().stopWatching();
    err << "stopped\n";
    return 0;
}
