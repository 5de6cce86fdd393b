#include "HttpFrontEnd.h"

#include "ClientAddress.h"
#include "ConnectionSlots.h"
#include "ServiceError.h"
#include "ServicePages.h"
#include "SoapEnvelope.h"
#include "SoapRequest.h"
#include "Store.h"
#include "WebService.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unordered_map>

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

const char *const xmlType = "text/xml; charset=utf-8";
const char *const htmlType = "text/html; charset=utf-8";

bool plainHost(const std::string &host)
{
    if (host.empty() || host.size() > 255)
        return false;
    for (char c : host)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == ':' || c == '-' || c == '[' ||
              c == ']'))
            return false;
    return true;
}

// Local wall-clock time with milliseconds, for the log.
std::string logTime()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    int ms =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", ms);
    return text;
}

// What the process may open, less a margin for the database and the log.
std::size_t openFileBound(std::size_t wanted)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return wanted;
    std::size_t usable = limit.rlim_cur > 64 ? std::size_t(limit.rlim_cur - 64) : 1;
    return std::min(wanted, usable);
}

std::string soapOperation(const HttpRequest &request)
{
    if (request.path != "/WebService.asmx" || request.method != "POST")
        return {};
    return SoapRequest::operationOfAction(request.header("SOAPAction").value_or("")).value_or("-");
}

} // namespace

struct HttpFrontEnd::Impl : HttpConnection::Owner
{
    Impl(Store &s, Options o)
        : store(s), service(s), options(std::move(o)), addresses(options.trustedProxies),
          slots(options.connectionsPerAddress, openFileBound(options.connections)),
          io(std::max(1, options.threads)), acceptor(net::make_strand(io)), retry(acceptor.get_executor())
    {
    }

    Store &store;
    WebService service;
    Options options;
    ClientAddress addresses;
    ConnectionSlots slots;
    net::io_context io;
    tcp::acceptor acceptor;
    net::steady_timer retry;
    int port = 0;
    std::string staticAnswer;
    std::mutex connectionsMutex;
    std::unordered_map<HttpConnection *, std::weak_ptr<HttpConnection>> connections;

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
            static const std::string busy =
                "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
            socket.non_blocking(true, error);
            socket.send(net::buffer(busy), 0, error);
            socket.close(error);
            log(peer, nullptr, 503, std::chrono::steady_clock::now());
            return;
        }
        socket.set_option(tcp::no_delay(true), error);
        auto connection =
            std::make_shared<HttpConnection>(std::move(socket), peer, *this, options.limits, options.timing);
        {
            std::lock_guard lock(connectionsMutex);
            connections.emplace(connection.get(), connection);
        }
        connection->start();
    }

    void closed(HttpConnection *connection, const std::string &peer) override
    {
        {
            std::lock_guard lock(connectionsMutex);
            connections.erase(connection);
        }
        slots.release(peer);
    }

    void stopAll()
    {
        boost::system::error_code ignored;
        acceptor.close(ignored);
        retry.cancel();
        std::vector<std::shared_ptr<HttpConnection>> open;
        {
            std::lock_guard lock(connectionsMutex);
            for (auto &[raw, weak] : connections)
                if (auto connection = weak.lock())
                    open.push_back(std::move(connection));
        }
        for (auto &connection : open)
            connection->stop();
    }

    // Answering ------------------------------------------------------------------------

    bool identify(HttpRequest &request) override
    {
        auto address = addresses.resolve(request.peerAddress, request.headerValues("X-Forwarded-For"));
        if (!address)
            return false;
        request.clientAddress = *address;
        return true;
    }

    std::chrono::milliseconds holdFor(const HttpRequest &request) override
    {
        std::string operation = soapOperation(request);
        bool passwordCheck =
            operation == "yanzheng" || operation == "hqdlyhxx" || request.path == "/GongGaoXinXi.aspx";
        return passwordCheck ? service.loginDelay(request.clientAddress) : std::chrono::milliseconds(0);
    }

    HttpAnswer answer(const HttpRequest &request) override
    {
        try {
            return route(request);
        } catch (const std::exception &) {
            return {500, htmlType, ServicePages::errorPage("500", "服务器内部错误。")};
        }
    }

    HttpAnswer route(const HttpRequest &request)
    {
        const std::string &path = request.path;
        bool get = request.method == "GET";
        if (path == "/WebService.asmx" && request.method == "POST")
            return soapCall(request);
        if (path == "/WebService.asmx" && get)
            return serviceDescription(request);
        if (path == "/IP.aspx" && get)
            return {200, "text/plain; charset=utf-8", request.clientAddress};
        if (path == "/GongGaoXinXi.aspx" && get)
            return insiderPage(request);
        if (path.rfind("/pages/", 0) == 0 && get)
            return demoPage(path.substr(7));
        if (path == "/StaticBench.asmx" && request.method == "POST" && options.staticBench)
            return {200, xmlType, staticAnswer};
        bool known = path == "/WebService.asmx" || path == "/IP.aspx" || path == "/GongGaoXinXi.aspx";
        int status = known ? 405 : 404;
        return {status, htmlType, ServicePages::errorPage(std::to_string(status), "请求无法处理。")};
    }

    std::string siteAddress(const HttpRequest &request) const
    {
        std::string host = request.header("Host").value_or("");
        if (!plainHost(host))
            host = (options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host) +
                   ":" + std::to_string(port);
        return "http://" + host;
    }

    std::string query(const HttpRequest &request) const
    {
        size_t mark = request.target.find('?');
        return mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
    }

    HttpAnswer soapCall(const HttpRequest &request)
    {
        try {
            SoapRequest call = SoapRequest::parse(request.header("Content-Type").value_or(""),
                                                  request.header("SOAPAction"), request.body);
            std::string result = service.call(call, {siteAddress(request), request.clientAddress});
            return {200, xmlType, SoapEnvelope::response(call.operation(), result)};
        } catch (const MalformedRequest &) {
            return {400, "", ""};
        } catch (const ClientFault &fault) {
            std::string text = fault.unreadable()
                                   ? std::string("Server was unable to read request. ---> ") + fault.what()
                                   : std::string(fault.what());
            return {500, xmlType, SoapEnvelope::fault("soap:Client", text)};
        } catch (const std::exception &error) {
            return {500, xmlType,
                    SoapEnvelope::fault("soap:Server",
                                        std::string("Server was unable to process request. ---> ") +
                                            error.what())};
        }
    }

    HttpAnswer serviceDescription(const HttpRequest &request)
    {
        auto pairs = decodeQuery(query(request)).value_or(std::vector<std::pair<std::string, std::string>>{});
        bool wsdl = false;
        for (const auto &[key, value] : pairs)
            wsdl = wsdl || key == "wsdl" || key == "WSDL";
        if (wsdl)
            return {200, xmlType, ServicePages::wsdl(siteAddress(request) + "/WebService.asmx")};
        return {200, htmlType, ServicePages::helpPage()};
    }

    HttpAnswer insiderPage(const HttpRequest &request)
    {
        auto pairs = decodeQuery(query(request));
        if (!pairs)
            return {400, htmlType, ServicePages::errorPage("400", "请求无法处理。")};
        // The level shown is the account's own: a level in the address cannot raise it.
        std::string username = queryValue(*pairs, "username");
        std::string password = queryValue(*pairs, "userpas");
        std::optional<Store::Account> account;
        if (!username.empty())
            account = service.checkPassword(username, password, request.clientAddress);
        if (!account)
            return {403, htmlType, ServicePages::errorPage("无法访问", "用户名不存在或密码错误！")};
        auto rows = store.with([&](Connection &c) {
            bool tiered = store.tieringOn(c);
            return tiered
                       ? c.query("SELECT nowtime, bt, nr FROM smnc WHERE XinXiDJ=?1 OR XinXiDJ=3 ORDER BY id "
                                 "DESC LIMIT 200",
                                 {account->level})
                       : c.query("SELECT nowtime, bt, nr FROM smnc ORDER BY id DESC LIMIT 200");
        });
        return {200, htmlType, ServicePages::insiderPage(account->username, account->level, rows)};
    }

    HttpAnswer demoPage(const std::string &file)
    {
        std::string name = file.size() > 5 && file.compare(file.size() - 5, 5, ".html") == 0
                               ? file.substr(0, file.size() - 5)
                               : std::string();
        bool word = !name.empty() &&
                    std::all_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        std::string html = word ? ServicePages::demoPage(name) : std::string();
        if (html.empty())
            return {404, htmlType, ServicePages::errorPage("404", "页面不存在。")};
        return {200, htmlType, html};
    }

    void log(const std::string &address, const HttpRequest *request, int status,
             std::chrono::steady_clock::time_point started) override
    {
        if (!options.log)
            return;
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        // The operation comes from the SOAPAction header; parameters (passwords, SQL) are
        // never written, nor is the query string.
        std::string operation = request ? soapOperation(*request) : std::string();
        std::string method = request ? request->method : "-";
        std::string path = request ? request->path : "-";
        for (std::string *text : {&method, &path})
            for (char &c : *text)
                if (static_cast<unsigned char>(c) < 0x21 || c == 0x7f)
                    c = '?';
        std::fprintf(stderr, "%s %s %s %s %s %d %.2f ms\n", logTime().c_str(), address.c_str(),
                     method.c_str(), path.c_str(), operation.empty() ? "-" : operation.c_str(), status, ms);
    }
};

HttpFrontEnd::HttpFrontEnd(Store &store, Options options)
    : d(std::make_unique<Impl>(store, std::move(options)))
{
    d->options.limits.bodyBytes = maxBody;
    if (d->options.staticBench)
        d->staticAnswer = SoapEnvelope::response("ifchangetable", d->service.ifchangetable(3));
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
    } catch (const boost::system::system_error &) {
        throw std::runtime_error("cannot listen on " + o.host + ":" + std::to_string(o.port));
    }
    return d->port;
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

void HttpFrontEnd::stop()
{
    // Idle and half-read connections end at once; an answer being made or written still
    // goes out.
    net::post(d->acceptor.get_executor(), [this] { d->stopAll(); });
}
