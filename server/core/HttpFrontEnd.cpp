#include "HttpFrontEnd.h"

#include "ServiceError.h"
#include "ServicePages.h"
#include "SoapEnvelope.h"
#include "SoapRequest.h"
#include "Store.h"
#include "WebService.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

thread_local std::chrono::steady_clock::time_point requestStart;

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

} // namespace

struct HttpFrontEnd::Impl
{
    Impl(Store &s, Options o) : store(s), service(s), options(std::move(o)) {}

    Store &store;
    WebService service;
    Options options;
    httplib::Server server;
    int port = 0;
    int listenSocket = -1;
    std::string staticAnswer;

    std::string siteAddress(const httplib::Request &request) const
    {
        std::string host = request.get_header_value("Host");
        if (!plainHost(host))
            host = (options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host) +
                   ":" + std::to_string(port);
        return "http://" + host;
    }

    void soapCall(const httplib::Request &request, httplib::Response &response)
    {
        std::optional<std::string> action;
        if (request.has_header("SOAPAction"))
            action = request.get_header_value("SOAPAction");
        try {
            SoapRequest call =
                SoapRequest::parse(request.get_header_value("Content-Type"), action, request.body);
            std::string result = service.call(call, siteAddress(request));
            response.set_content(SoapEnvelope::response(call.operation(), result), xmlType);
        } catch (const MalformedRequest &) {
            response.status = 400;
            response.body.clear();
        } catch (const ClientFault &fault) {
            std::string text = fault.unreadable()
                                   ? std::string("Server was unable to read request. ---> ") + fault.what()
                                   : std::string(fault.what());
            response.status = 500;
            response.set_content(SoapEnvelope::fault("soap:Client", text), xmlType);
        } catch (const std::exception &error) {
            response.status = 500;
            response.set_content(
                SoapEnvelope::fault(
                    "soap:Server", std::string("Server was unable to process request. ---> ") + error.what()),
                xmlType);
        }
    }

    void insiderPage(const httplib::Request &request, httplib::Response &response)
    {
        // The level shown is the account's own: a level in the address cannot raise it.
        std::string username = request.get_param_value("username");
        std::string password = request.get_param_value("userpas");
        std::optional<Store::Account> account;
        try {
            if (!username.empty())
                account = store.verify(username, password);
        } catch (const std::exception &) {
        }
        if (!account) {
            response.status = 403;
            response.set_content(ServicePages::errorPage("无法访问", "用户名不存在或密码错误！"), htmlType);
            return;
        }
        auto rows = store.with([&](Connection &c) {
            bool tiered = store.tieringOn(c);
            return tiered ? c.query("SELECT nowtime, bt, nr FROM smnc WHERE XinXiDJ=?1 OR XinXiDJ=3 ORDER BY "
                                    "id DESC "
                                    "LIMIT 200",
                                    {account->level})
                          : c.query("SELECT nowtime, bt, nr FROM smnc ORDER BY id DESC LIMIT 200");
        });
        response.set_content(ServicePages::insiderPage(account->username, account->level, rows), htmlType);
    }

    void log(const httplib::Request &request, const httplib::Response &response)
    {
        if (!options.log)
            return;
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - requestStart)
                        .count();
        // The operation comes from the SOAPAction header; parameters (passwords, SQL) are
        // never written.
        std::string operation;
        if (request.path == "/WebService.asmx" && request.method == "POST") {
            auto op = SoapRequest::operationOfAction(request.get_header_value("SOAPAction"));
            operation = op ? *op : "-";
        }
        std::fprintf(stderr, "%s %s %s %s %d %.2f ms\n", request.remote_addr.c_str(), request.method.c_str(),
                     request.path.c_str(), operation.empty() ? "-" : operation.c_str(), response.status, ms);
    }
};

HttpFrontEnd::HttpFrontEnd(Store &store, Options options)
    : d(std::make_unique<Impl>(store, std::move(options)))
{
    auto &server = d->server;
    int threads = d->options.threads > 0 ? d->options.threads : 128;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
    // Without it every keep-alive answer waits for the peer's delayed acknowledgement (~40 ms).
    server.set_tcp_nodelay(true);
    server.set_payload_max_length(maxBody);
    // Each open connection holds a pool thread while it idles: a short keep-alive keeps a
    // client's burst of calls (login) on one connection without parking threads between
    // polls, which are seconds apart.
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(1);
    server.set_read_timeout(30, 0);

    // The library listens with a backlog of 5: a burst of new connections would overflow it
    // and wait a second for SYN retransmission. Remember the socket to widen it after bind.
    // SO_REUSEPORT (the library's default) is left off: a second service on the same port
    // must fail to start rather than share the port.
    server.set_socket_options([this](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        d->listenSocket = sock;
    });

    server.set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
        requestStart = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_logger(
        [this](const httplib::Request &req, const httplib::Response &res) { d->log(req, res); });

    server.Post("/WebService.asmx",
                [this](const httplib::Request &req, httplib::Response &res) { d->soapCall(req, res); });
    server.Get("/WebService.asmx", [this](const httplib::Request &req, httplib::Response &res) {
        bool wsdl = false;
        for (const auto &[key, value] : req.params)
            wsdl = wsdl || key == "wsdl" || key == "WSDL";
        if (wsdl)
            res.set_content(ServicePages::wsdl(d->siteAddress(req) + "/WebService.asmx"), xmlType);
        else
            res.set_content(ServicePages::helpPage(), htmlType);
    });
    server.Get("/IP.aspx", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(req.remote_addr, "text/plain; charset=utf-8");
    });
    server.Get("/GongGaoXinXi.aspx",
               [this](const httplib::Request &req, httplib::Response &res) { d->insiderPage(req, res); });
    server.Get(R"(/pages/([a-z]+)\.html)", [](const httplib::Request &req, httplib::Response &res) {
        std::string html = ServicePages::demoPage(req.matches[1]);
        if (html.empty()) {
            res.status = 404;
            res.set_content(ServicePages::errorPage("404", "页面不存在。"), htmlType);
            return;
        }
        res.set_content(html, htmlType);
    });
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty() && res.status != 400)
            res.set_content(ServicePages::errorPage(std::to_string(res.status), "请求无法处理。"), htmlType);
    });
    server.set_exception_handler([](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
        res.status = 500;
        res.set_content(ServicePages::errorPage("500", "服务器内部错误。"), htmlType);
    });

    if (d->options.staticBench) {
        d->staticAnswer = SoapEnvelope::response("ifchangetable", d->service.ifchangetable(3));
        server.Post("/StaticBench.asmx", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(d->staticAnswer, xmlType);
        });
    }
}

HttpFrontEnd::~HttpFrontEnd() = default;

int HttpFrontEnd::bind()
{
    auto &o = d->options;
    int port = o.port == 0 ? d->server.bind_to_any_port(o.host)
                           : (d->server.bind_to_port(o.host, o.port) ? o.port : -1);
    if (port <= 0)
        throw std::runtime_error("cannot listen on " + o.host + ":" + std::to_string(o.port));
    d->port = port;
    if (d->listenSocket >= 0)
        ::listen(d->listenSocket, SOMAXCONN);
    return port;
}

void HttpFrontEnd::run()
{
    d->server.listen_after_bind();
}

void HttpFrontEnd::stop()
{
    d->server.stop();
    // cpp-httplib 0.11 lets a worker wait out the whole keep-alive time-out on an idle
    // connection before the pool can be joined. Shutting the receiving side of every
    // accepted TCP socket ends those waits at once; an answer being written still goes out.
    if (DIR *fds = opendir("/proc/self/fd")) {
        while (dirent *entry = readdir(fds)) {
            int fd = atoi(entry->d_name);
            struct stat info;
            if (fd <= 2 || fd == dirfd(fds) || fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode))
                continue;
            sockaddr_storage address{};
            socklen_t length = sizeof address;
            int listening = 0;
            socklen_t size = sizeof listening;
            if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
                (address.ss_family != AF_INET && address.ss_family != AF_INET6) ||
                getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening)
                continue;
            shutdown(fd, SHUT_RD);
        }
        closedir(fds);
    }
}
