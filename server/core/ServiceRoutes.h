#pragma once

#include "HttpRequest.h"
#include "WebService.h"

#include <chrono>
#include <string>

class Store;

// What the service answers on each path: the SOAP calls, the WSDL and help page, /IP.aspx,
// /GongGaoXinXi.aspx, the demo pages, and (for the load benchmark only) /StaticBench.asmx.
class ServiceRoutes
{
public:
    ServiceRoutes(Store &store, bool staticBench);

    // The site address ("http://host:port") used when a request's Host header is unusable.
    void setFallbackSite(std::string site) { fallbackSite_ = std::move(site); }

    // How long to hold the request first: password checks from an address that has failed
    // many of them are slowed down.
    std::chrono::milliseconds holdFor(const HttpRequest &request);
    HttpAnswer answer(const HttpRequest &request);

    // The operation a SOAP call names in its SOAPAction header ("-" for none of ours, empty
    // for other requests).
    static std::string soapOperation(const HttpRequest &request);

private:
    HttpAnswer route(const HttpRequest &request);
    std::string siteAddress(const HttpRequest &request) const;
    HttpAnswer soapCall(const HttpRequest &request);
    HttpAnswer serviceDescription(const HttpRequest &request);
    HttpAnswer insiderPage(const HttpRequest &request);
    HttpAnswer demoPage(const std::string &file);

    Store &store_;
    WebService service_;
    bool staticBench_;
    std::string staticAnswer_;
    std::string fallbackSite_;
};
