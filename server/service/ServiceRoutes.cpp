#include "service/ServiceRoutes.h"

#include "service/ServicePages.h"
#include "service/StoreFaultCounts.h"
#include "soap/ClientFault.h"
#include "soap/ServerFault.h"
#include "soap/SoapEnvelope.h"
#include "soap/SoapRequest.h"

#include <algorithm>

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

std::string queryOf(const HttpRequest &request)
{
    size_t mark = request.target.find('?');
    return mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
}

} // namespace

ServiceRoutes::ServiceRoutes(Store &store) : service_(store), readiness_(store) {}

std::string ServiceRoutes::operationOf(const HttpRequest &request) const
{
    if (request.path != "/WebService.asmx" || request.method != "POST")
        return {};
    return SoapRequest::operationOfAction(request.header("SOAPAction").value_or(""),
                                          WebService::operationNames())
        .value_or("-");
}

std::chrono::milliseconds ServiceRoutes::holdFor(const HttpRequest &request)
{
    std::string operation = operationOf(request);
    bool passwordCheck =
        operation == "yanzheng" || operation == "hqdlyhxx" || request.path == "/GongGaoXinXi.aspx";
    return passwordCheck ? service_.loginDelay(request.clientAddress) : std::chrono::milliseconds(0);
}

HttpAnswer ServiceRoutes::answer(const HttpRequest &request)
{
    try {
        return route(request);
    } catch (const std::exception &) {
        return {500, htmlType, ServicePages::errorPage("500", "服务器内部错误。")};
    }
}

HttpAnswer ServiceRoutes::route(const HttpRequest &request)
{
    const std::string &path = request.path;
    bool get = request.method == "GET";
    if (path == "/WebService.asmx" && request.method == "POST")
        return soapCall(request);
    if (path == "/WebService.asmx" && get)
        return serviceDescription(request);
    if (path == "/IP.aspx" && get)
        return {200, "text/plain; charset=utf-8", request.clientAddress};
    if (path == "/healthz" && get)
        return {200, "text/plain; charset=utf-8", "ok\n"};
    if (path == "/readyz" && get)
        return readiness_.ready()
                   ? HttpAnswer{200, "text/plain; charset=utf-8", "ready\n"}
                   : HttpAnswer{503, "text/plain; charset=utf-8", "the database does not answer\n"};
    if (path == "/GongGaoXinXi.aspx" && get)
        return insiderPage(request);
    if (path.rfind("/pages/", 0) == 0 && get)
        return demoPage(path.substr(7));
    bool known = path == "/WebService.asmx" || path == "/IP.aspx" || path == "/GongGaoXinXi.aspx" ||
                 path == "/healthz" || path == "/readyz";
    int status = known ? 405 : 404;
    return {status, htmlType, ServicePages::errorPage(std::to_string(status), "请求无法处理。")};
}

std::string ServiceRoutes::siteAddress(const HttpRequest &request) const
{
    std::string host = request.header("Host").value_or("");
    return plainHost(host) ? (request.secure ? "https://" : "http://") + host : fallbackSite_;
}

HttpAnswer ServiceRoutes::soapCall(const HttpRequest &request)
{
    try {
        SoapRequest call =
            SoapRequest::parse(request.header("Content-Type").value_or(""), request.header("SOAPAction"),
                               request.body, WebService::operationNames());
        std::string result = service_.call(call, {siteAddress(request), request.clientAddress});
        return {200, xmlType, SoapEnvelope::response(call.operation(), result)};
    } catch (const MalformedRequest &) {
        return {400, "", ""};
    } catch (const ClientFault &fault) {
        std::string text = fault.unreadable()
                               ? std::string("Server was unable to read request. ---> ") + fault.what()
                               : std::string(fault.what());
        return {500, xmlType, SoapEnvelope::fault("soap:Client", text)};
    } catch (const ServerFault &fault) {
        return {
            500, xmlType,
            SoapEnvelope::fault("soap:Server",
                                std::string("Server was unable to process request. ---> ") + fault.what())};
    } catch (const std::exception &error) {
        StoreFaultCounts::count(error.what());
        return {
            500, xmlType,
            SoapEnvelope::fault("soap:Server",
                                std::string("Server was unable to process request. ---> ") + error.what())};
    }
}

HttpAnswer ServiceRoutes::serviceDescription(const HttpRequest &request)
{
    auto pairs = decodeQuery(queryOf(request)).value_or(std::vector<std::pair<std::string, std::string>>{});
    bool wsdl = false;
    for (const auto &[key, value] : pairs)
        wsdl = wsdl || key == "wsdl" || key == "WSDL";
    if (wsdl)
        return {200, xmlType, ServicePages::wsdl(siteAddress(request) + "/WebService.asmx")};
    return {200, htmlType, ServicePages::helpPage()};
}

HttpAnswer ServiceRoutes::insiderPage(const HttpRequest &request)
{
    auto pairs = decodeQuery(queryOf(request));
    if (!pairs)
        return {400, htmlType, ServicePages::errorPage("400", "请求无法处理。")};
    // The level shown is the account's own: a level in the address cannot raise it.
    std::string username = queryValue(*pairs, "username");
    std::string password = queryValue(*pairs, "userpas");
    std::optional<Store::Account> account;
    if (!username.empty())
        account = service_.checkPassword(username, password, request.clientAddress);
    if (!account)
        return {403, htmlType, ServicePages::errorPage("无法访问", "用户名不存在或密码错误！")};
    auto rows = service_.insiderItems(account->level);
    return {200, htmlType, ServicePages::insiderPage(account->username, account->level, rows)};
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
