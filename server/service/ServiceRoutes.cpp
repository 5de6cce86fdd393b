#include "service/ServiceRoutes.h"

#include "service/BlockingCall.h"
#include "service/ServicePages.h"
#include "service/StoreFaultCounts.h"
#include "soap/ClientFault.h"
#include "soap/ServerFault.h"
#include "soap/SoapEnvelope.h"
#include "soap/SoapRequest.h"
#include "store/DatabaseTimeout.h"
#include "store/Store.h"

#include <boost/asio/co_spawn.hpp>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

namespace net = boost::asio;

namespace {

const char *const xmlType = "text/xml; charset=utf-8";
const char *const htmlType = "text/html; charset=utf-8";

// A whole decimal number within bounds, or nullopt.
std::optional<std::int64_t> decimal(const std::string &text, std::int64_t low, std::int64_t high)
{
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    std::size_t digits = text[0] == '-' ? 1 : 0;
    if (digits == text.size() || !std::all_of(text.begin() + std::ptrdiff_t(digits), text.end(),
                                              [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::int64_t value = std::stoll(text);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::string queryOf(const HttpRequest &request)
{
    size_t mark = request.target.find('?');
    return mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
}

// What went wrong inside is the operator's to read, not the caller's: a database's message
// names hosts, users and tables.
void logFailure(const HttpRequest &request, const std::exception &error)
{
    std::fprintf(stderr, "request from %s to %s failed: %s\n", request.clientAddress.c_str(),
                 request.path.c_str(), error.what());
}

HttpAnswer serverFault(const std::string &reason)
{
    return {500, xmlType,
            SoapEnvelope::fault("soap:Server",
                                std::string("Server was unable to process request. ---> ") + reason)};
}

} // namespace

ServiceRoutes::ServiceRoutes(Store &store, WebService::Workers workers, Settings settings)
    : feed_(store), service_(store, workers, settings.service), storeWorkers_(workers.store),
      readiness_(store), publicSite_(std::move(settings.publicSite))
{
    service_.keepAnswersIn(feed_);
}

std::string ServiceRoutes::operationOf(const HttpRequest &request) const
{
    if (request.path != "/WebService.asmx" || request.method != "POST")
        return {};
    return SoapRequest::operationOfAction(request.header("SOAPAction").value_or(""),
                                          WebService::operationNames())
        .value_or("-");
}

void ServiceRoutes::answer(const HttpRequest &request, const net::any_io_executor &executor, Reply reply)
{
    net::co_spawn(executor, route(request),
                  [reply = std::move(reply), &request](std::exception_ptr failure, HttpAnswer answer) {
                      if (failure) {
                          try {
                              std::rethrow_exception(failure);
                          } catch (const std::exception &error) {
                              logFailure(request, error);
                          } catch (...) {
                          }
                          answer = {500, htmlType, ServicePages::errorPage("500", "服务器内部错误。")};
                      }
                      reply(std::move(answer));
                  });
}

net::awaitable<HttpAnswer> ServiceRoutes::route(const HttpRequest &request)
{
    const std::string &path = request.path;
    bool get = request.method == "GET";
    if (path == "/WebService.asmx" && request.method == "POST")
        co_return co_await soapCall(request);
    if (path == "/WebService.asmx" && get)
        co_return serviceDescription(request);
    if (path == "/IP.aspx" && get)
        co_return HttpAnswer{200, "text/plain; charset=utf-8", request.clientAddress};
    if (path == "/healthz" && get)
        co_return HttpAnswer{200, "text/plain; charset=utf-8", "ok\n"};
    if (path == "/readyz" && get)
        co_return co_await readiness();
    if (path == "/GongGaoXinXi.aspx" && get)
        co_return co_await insiderPage(request);
    if (path.rfind("/pages/", 0) == 0 && get)
        co_return demoPage(path.substr(7));
    if (path == "/events" && get)
        co_return co_await eventStream(request);
    bool known = path == "/WebService.asmx" || path == "/IP.aspx" || path == "/GongGaoXinXi.aspx" ||
                 path == "/healthz" || path == "/readyz" || path == "/events";
    int status = known ? 405 : 404;
    co_return HttpAnswer{status, htmlType, ServicePages::errorPage(std::to_string(status), "请求无法处理。")};
}

std::string ServiceRoutes::siteFor(const HttpRequest &request) const
{
    // The host is the configured one, never the request's Host header; the scheme is the
    // caller's (TLS here, or at a trusted proxy that says so).
    const std::string plain = "http://";
    if (request.secure && publicSite_.compare(0, plain.size(), plain) == 0)
        return "https://" + publicSite_.substr(plain.size());
    return publicSite_;
}

net::awaitable<HttpAnswer> ServiceRoutes::soapCall(const HttpRequest &request)
{
    try {
        SoapRequest call =
            SoapRequest::parse(request.header("Content-Type").value_or(""), request.header("SOAPAction"),
                               request.body, WebService::operationNames());
        std::string operation = call.operation();
        // Awaited calls in statements of their own: GCC 12 destroys the temporaries of a
        // co_await expression a second time when the coroutine resumes.
        WebService::Caller caller{siteFor(request), request.clientAddress};
        auto answering = service_.call(std::move(call), std::move(caller));
        std::string result = co_await std::move(answering);
        co_return HttpAnswer{200, xmlType, SoapEnvelope::response(operation, result)};
    } catch (const MalformedRequest &) {
        co_return HttpAnswer{400, "", ""};
    } catch (const ClientFault &fault) {
        std::string text = fault.unreadable()
                               ? std::string("Server was unable to read request. ---> ") + fault.what()
                               : std::string(fault.what());
        co_return HttpAnswer{500, xmlType, SoapEnvelope::fault("soap:Client", text)};
    } catch (const ServerFault &fault) {
        co_return serverFault(fault.what());
    } catch (const ServiceBusy &busy) {
        co_return serverFault(busy.what());
    } catch (const DatabaseTimeout &) {
        StoreFaultCounts::countTimeout();
        co_return serverFault(ServiceBusy().what());
    } catch (const std::exception &error) {
        StoreFaultCounts::count(error.what());
        logFailure(request, error);
        co_return serverFault("The service could not complete the request.");
    }
}

HttpAnswer ServiceRoutes::serviceDescription(const HttpRequest &request)
{
    auto pairs = decodeQuery(queryOf(request)).value_or(std::vector<std::pair<std::string, std::string>>{});
    bool wsdl = false;
    for (const auto &[key, value] : pairs)
        wsdl = wsdl || key == "wsdl" || key == "WSDL";
    if (wsdl)
        return {200, xmlType, ServicePages::wsdl(siteFor(request) + "/WebService.asmx")};
    return {200, htmlType, ServicePages::helpPage()};
}

net::awaitable<HttpAnswer> ServiceRoutes::insiderPage(const HttpRequest &request)
{
    auto pairs = decodeQuery(queryOf(request));
    if (!pairs)
        co_return HttpAnswer{400, htmlType, ServicePages::errorPage("400", "请求无法处理。")};
    // The level shown is the account's own, and only to the address that holds its online
    // record: a level in the address cannot raise it.
    std::string username = queryValue(*pairs, "username");
    std::string password = queryValue(*pairs, "userpas");
    std::optional<Store::Account> account;
    try {
        if (!username.empty()) {
            auto check = service_.checkPassword(username, password, request.clientAddress);
            account = co_await std::move(check);
        }
        if (!account)
            co_return HttpAnswer{403, htmlType,
                                 ServicePages::errorPage("无法访问", "用户名不存在或密码错误！")};
        if (WebService::expired(*account))
            co_return HttpAnswer{403, htmlType,
                                 ServicePages::errorPage("无法访问", "您的账号已到期，请联系客服续费。")};
        auto reading = service_.insiderItems(account->level, request.clientAddress);
        auto [level, rows] = co_await std::move(reading);
        co_return HttpAnswer{200, htmlType, ServicePages::insiderPage(account->username, level, rows)};
    } catch (const std::exception &error) {
        logFailure(request, error);
    }
    co_return HttpAnswer{503, htmlType, ServicePages::errorPage("503", "服务暂时不可用，请稍后再试。")};
}

net::awaitable<HttpAnswer> ServiceRoutes::readiness()
{
    // The probe waits for the store on a store worker, never on a connection's thread; a
    // store too busy to take it within the probe's own deadline is not ready either.
    bool ready = false;
    try {
        auto deadline = WorkerPool::Clock::now() + readiness_.deadline();
        auto probing = blockingCall(storeWorkers_, deadline, [this, deadline] {
            Store::Deadline bounded(deadline);
            return readiness_.ready();
        });
        ready = co_await std::move(probing);
    } catch (const ServiceBusy &) {
    }
    if (ready)
        co_return HttpAnswer{200, "text/plain; charset=utf-8", "ready\n"};
    co_return HttpAnswer{503, "text/plain; charset=utf-8", "the database does not answer\n"};
}

HttpAnswer ServiceRoutes::demoPage(const std::string &file)
{
    std::string name = file.size() > 5 && file.compare(file.size() - 5, 5, ".html") == 0
                           ? file.substr(0, file.size() - 5)
                           : std::string();
    bool word =
        !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    std::string html = word ? ServicePages::demoPage(name) : std::string();
    if (html.empty())
        return {404, htmlType, ServicePages::errorPage("404", "页面不存在。")};
    return {200, htmlType, html};
}

net::awaitable<HttpAnswer> ServiceRoutes::eventStream(const HttpRequest &request)
{
    auto pairs = decodeQuery(queryOf(request));
    auto level = pairs ? decimal(queryValue(*pairs, "userdj"), INT32_MIN, INT32_MAX) : std::nullopt;
    if (!level)
        co_return HttpAnswer{400, htmlType, ServicePages::errorPage("400", "请求无法处理。")};
    // A number the stream never sent (or none) gets the current event at once.
    auto last = decimal(request.header("Last-Event-ID").value_or(""), 0, INT64_MAX);
    // The stream tells what ifchangetable would answer this caller: a paid level only to an
    // address holding the online record of such a subscription.
    int served = co_await service_.streamLevel(int(*level), request.clientAddress);
    HttpAnswer answer;
    answer.openStream = [this, served, last,
                         address = request.clientAddress](const std::shared_ptr<EventStream> &stream) {
        feed_.subscribe(stream, served, last, address);
    };
    co_return answer;
}
