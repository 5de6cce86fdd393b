#include "http/HttpFrontEnd.h"

#include "http/ClientAddress.h"
#include "http/ConnectionSlots.h"
#include "http/HttpSession.h"
#include "http/RequestHandler.h"
#include "http/RequestLog.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/string.hpp>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unordered_map>

namespace net = boost::asio;
namespace beast = boost::beast;
using tcp = net::ip::tcp;

namespace {

// What the process may open, less a margin for the database and the log.
std::size_t openFileBound(std::size_t wanted)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return wanted;
    std::size_t usable = limit.rlim_cur > 64 ? std::size_t(limit.rlim_cur - 64) : 1;
    return std::min(wanted, usable);
}

} // namespace

struct HttpFrontEnd::Impl : HttpConnection::Owner, EventStream::Owner
{
    Impl(RequestHandler &h, Options o)
        : options(std::move(o)), handler(h), requestLog(options.log, options.jsonLog),
          addresses(options.trustedProxies),
          slots(options.connectionsPerAddress, openFileBound(options.connections)),
          bodies(options.bodyBudget), io(std::max(1, options.threads)), acceptor(net::make_strand(io)),
          retry(acceptor.get_executor())
    {
    }

    Options options;
    RequestHandler &handler;
    RequestLog requestLog;
    RequestCounters counters;
    ClientAddress addresses;
    ConnectionSlots slots;
    BodyBudget bodies;
    net::io_context io;
    tcp::acceptor acceptor;
    net::steady_timer retry;
    int port = 0;
    std::string site;
    std::mutex connectionsMutex;
    std::unordered_map<HttpConnection *, std::weak_ptr<HttpConnection>> connections;
    std::unordered_map<EventStream *, std::weak_ptr<EventStream>> streams;
    std::atomic<std::size_t> streamPlaces{0};

    // Accepting ------------------------------------------------------------------------

    void accept()
    {
        acceptor.async_accept(net::make_strand(io),
                              [this](boost::system::error_code error, tcp::socket socket) {
                                  if (error == net::error::operation_aborted || !acceptor.is_open())
                                      return;
                                  if (error) {
                                      // Out of descriptors: the backlog waits until connections end.
                                      retry.expires_after(std::chrono::milliseconds(50));
                                      retry.async_wait([this](boost::system::error_code e) {
                                          if (!e)
                                              accept();
                                      });
                                      return;
                                  }
                                  admit(std::move(socket));
                                  accept();
                              });
    }

    void admit(tcp::socket socket)
    {
        boost::system::error_code error;
        auto remote = socket.remote_endpoint(error);
        if (error)
            return;
        std::string peer = ClientAddress::normalise(remote.address().to_string()).value_or("?");
        if (!slots.take(peer, addresses.trusted(peer))) {
            // A short answer without waiting for the request; a full send buffer just drops it.
            // A TLS peer could not read it, and a handshake for it would cost what the cap
            // saves: that connection just closes.
            static const std::string busy =
                "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
            socket.non_blocking(true, error);
            if (!options.tls)
                socket.send(net::buffer(busy), 0, error);
            socket.close(error);
            log(peer, nullptr, 503, std::chrono::steady_clock::now());
            return;
        }
        socket.set_option(tcp::no_delay(true), error);
        auto connection = makeConnection(std::move(socket), peer);
        {
            std::lock_guard lock(connectionsMutex);
            connections.emplace(connection.get(), connection);
        }
        counters.connectionOpened();
        connection->start();
    }

    // The one place that decides between plain HTTP and TLS: the limits and deadlines are
    // the same either way.
    std::shared_ptr<HttpConnection> makeConnection(tcp::socket socket, const std::string &peer)
    {
        if (options.tls)
            return std::make_shared<TlsHttpSession>(std::move(socket), options.tls->current(), peer, *this,
                                                    options.limits, options.timing, bodies);
        return std::make_shared<PlainHttpSession>(std::move(socket), nullptr, peer, *this, options.limits,
                                                  options.timing, bodies);
    }

    void closed(HttpConnection *connection, const std::string &peer) override
    {
        {
            std::lock_guard lock(connectionsMutex);
            connections.erase(connection);
        }
        counters.connectionClosed();
        slots.release(peer);
    }

    // Streams ---------------------------------------------------------------------------

    bool takeStreamPlace() override
    {
        if (streamPlaces.fetch_add(1) < options.streams)
            return true;
        --streamPlaces;
        return false;
    }

    EventStream::Owner &streamOwner() override { return *this; }
    const EventStream::Limits &streamLimits() override { return options.stream; }

    void adoptStream(HttpConnection *from, const std::shared_ptr<EventStream> &stream) override
    {
        {
            std::lock_guard lock(connectionsMutex);
            connections.erase(from);
            streams.emplace(stream.get(), stream);
        }
        counters.streamOpened();
    }

    void ended(EventStream *stream, const std::string &peer, EventStream::Ending why) override
    {
        {
            std::lock_guard lock(connectionsMutex);
            streams.erase(stream);
        }
        // The stream was its connection until now: both figures go down together.
        counters.streamEnded(why == EventStream::Ending::SlowReader);
        counters.connectionClosed();
        --streamPlaces;
        slots.release(peer);
    }

    void eventWritten() override { counters.eventWritten(); }

    void stopAll()
    {
        boost::system::error_code ignored;
        acceptor.close(ignored);
        retry.cancel();
        std::vector<std::shared_ptr<HttpConnection>> open;
        std::vector<std::shared_ptr<EventStream>> openStreams;
        {
            std::lock_guard lock(connectionsMutex);
            for (auto &[raw, weak] : connections)
                if (auto connection = weak.lock())
                    open.push_back(std::move(connection));
            for (auto &[raw, weak] : streams)
                if (auto stream = weak.lock())
                    openStreams.push_back(std::move(stream));
        }
        for (auto &connection : open)
            connection->stop();
        for (auto &stream : openStreams)
            stream->stop();
    }

    // Answering ------------------------------------------------------------------------

    bool identify(HttpRequest &request) override
    {
        // The peer was normalised when it connected; only a trusted proxy's word is read.
        if (!addresses.trusted(request.peerAddress)) {
            request.clientAddress = request.peerAddress;
            request.secure = bool(options.tls);
            return true;
        }
        auto address = addresses.resolve(request.peerAddress, request.headerValues("X-Forwarded-For"));
        if (!address)
            return false;
        request.clientAddress = *address;
        auto forwardedProto = request.header("X-Forwarded-Proto");
        request.secure = options.tls || (addresses.trusted(request.peerAddress) && forwardedProto &&
                                         beast::iequals(*forwardedProto, "https"));
        return true;
    }

    void answer(const HttpRequest &request, const boost::asio::any_io_executor &executor,
                std::function<void(HttpAnswer)> reply) override
    {
        handler.answer(request, executor, std::move(reply));
    }

    void log(const std::string &address, const HttpRequest *request, int status,
             std::chrono::steady_clock::time_point started) override
    {
        std::string operation = request ? handler.operationOf(*request) : std::string();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        counters.answered(operation, status, seconds);
        requestLog.write(address, request, operation, status, started);
    }
};

HttpFrontEnd::HttpFrontEnd(RequestHandler &handler, Options options)
    : d(std::make_unique<Impl>(handler, std::move(options)))
{
    d->options.limits.bodyBytes = maxBody;
}

HttpFrontEnd::~HttpFrontEnd() = default;

int HttpFrontEnd::bind()
{
    auto &o = d->options;
    try {
        tcp::resolver resolver(d->io);
        auto endpoints = resolver.resolve(o.host, std::to_string(o.port),
                                          tcp::resolver::numeric_service | tcp::resolver::passive);
        tcp::endpoint endpoint = endpoints.begin()->endpoint();
        d->acceptor.open(endpoint.protocol());
        // A second service on the same port must fail to start rather than share it.
        d->acceptor.set_option(tcp::acceptor::reuse_address(true));
        d->acceptor.bind(endpoint);
        d->acceptor.listen(net::socket_base::max_listen_connections);
        d->port = d->acceptor.local_endpoint().port();
        bool v6 = o.host.find(':') != std::string::npos;
        d->site = std::string(o.tls ? "https://" : "http://") + (v6 ? "[" + o.host + "]" : o.host) + ":" +
                  std::to_string(d->port);
    } catch (const boost::system::system_error &) {
        throw std::runtime_error("cannot listen on " + o.host + ":" + std::to_string(o.port));
    }
    return d->port;
}

std::string HttpFrontEnd::siteAddress() const
{
    return d->site;
}

const RequestCounters &HttpFrontEnd::counters() const
{
    return d->counters;
}

boost::asio::io_context &HttpFrontEnd::ioContext()
{
    return d->io;
}

void HttpFrontEnd::run()
{
    d->accept();
    std::vector<std::thread> threads;
    for (int i = 1; i < std::max(1, d->options.threads); ++i)
        threads.emplace_back([this] { d->io.run(); });
    d->io.run();
    for (auto &thread : threads)
        thread.join();
}

std::size_t HttpFrontEnd::openStreams() const
{
    return d->streamPlaces.load();
}

void HttpFrontEnd::stop()
{
    // Idle and half-read connections end at once; an answer being made or written still
    // goes out.
    net::post(d->acceptor.get_executor(), [this] { d->stopAll(); });
}
