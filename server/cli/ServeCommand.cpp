#include "cli/ServeCommand.h"

#include "cli/DemoData.h"
#include "service/ServiceRoutes.h"
#include "store/Store.h"

#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <csignal>
#include <cstdio>
#include <functional>
#include <ostream>
#include <random>

namespace net = boost::asio;

namespace {

// Publishes a random demo item every period until stopped. Runs on the strand it is given,
// like the stop, so a step and the stop never overlap.
class DemoFeed
{
public:
    DemoFeed(net::strand<net::io_context::executor_type> strand, Store &store, std::chrono::seconds period,
             bool log)
        : timer_(strand), store_(store), period_(period), log_(log), random_(std::random_device{}())
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
        try {
            std::string line = DemoData::publishRandomItem(store_, random_);
            if (log_)
                std::fprintf(stderr, "demo feed: published %s\n", line.c_str());
        } catch (const std::exception &error) {
            std::fprintf(stderr, "demo feed: %s\n", error.what());
        }
    }

    net::steady_timer timer_;
    Store &store_;
    std::chrono::seconds period_;
    bool log_;
    std::mt19937 random_;
    bool stopped_ = false;
};

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

} // namespace

int ServeCommand::run(const Settings &settings, std::ostream &out, std::ostream &err)
{
    // A peer that closes while its answer is written is an error of that write, not the end
    // of the process.
    std::signal(SIGPIPE, SIG_IGN);

    auto store = Store::open(settings.database);
    store->upgradeSchema();
    ServiceRoutes routes(*store);
    HttpFrontEnd frontEnd(routes, settings.http);
    int port = frontEnd.bind();
    routes.setFallbackSite(frontEnd.siteAddress());

    auto strand = net::make_strand(frontEnd.ioContext());
    DemoFeed feed(strand, *store, std::chrono::seconds(settings.demoFeedSeconds), settings.http.log);
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
        feed.stop();
        reloadSignals.cancel();
        frontEnd.stop();
    });
    out << "listening on " << (settings.http.tls ? "https://" : "http://") << settings.shownHost << ":"
        << port << std::endl;

    frontEnd.run();
    err << "stopped\n";
    return 0;
}
