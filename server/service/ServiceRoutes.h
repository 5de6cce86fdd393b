#pragma once

#include "http/RequestHandler.h"
#include "service/ReadinessProbe.h"
#include "service/WebService.h"

#include <chrono>
#include <string>

class Store;

// What the service answers on each path: the SOAP calls, the WSDL and help page, /IP.aspx,
// /GongGaoXinXi.aspx, the demo pages, and for load balancers /healthz (the process answers)
// and /readyz (its store answers too).
class ServiceRoutes : public RequestHandler
{
public:
    explicit ServiceRoutes(Store &store);

    // The site address ("http://host:port", "https://...") used when a request's Host header
    // is unusable.
    void setFallbackSite(std::string site) { fallbackSite_ = std::move(site); }

    // How long to hold the request first: password checks from an address that has failed
    // many of them are slowed down.
    std::chrono::milliseconds holdFor(const HttpRequest &request) override;
    HttpAnswer answer(const HttpRequest &request) override;
    // The operation a SOAP call names in its SOAPAction header ("-" for none of ours, empty
    // for other requests).
    std::string operationOf(const HttpRequest &request) const override;

private:
    HttpAnswer route(const HttpRequest &request);
    std::string siteAddress(const HttpRequest &request) const;
    HttpAnswer soapCall(const HttpRequest &request);
    HttpAnswer serviceDescription(const HttpRequest &request);
    HttpAnswer insiderPage(const HttpRequest &request);
    HttpAnswer demoPage(const std::string &file);

    WebService service_;
    ReadinessProbe readiness_;
    std::string fallbackSite_;
};
