#pragma once

#include "http/RequestHandler.h"
#include "service/ChangeFeed.h"
#include "service/ReadinessProbe.h"
#include "service/WebService.h"

#include <boost/asio/awaitable.hpp>

#include <string>

class Store;

// What the service answers on each path: the SOAP calls, the WSDL and help page, /IP.aspx,
// /GongGaoXinXi.aspx, the demo pages, the change stream /events, and for load balancers
// /healthz (the process answers) and /readyz (its store answers too). Nothing a request does
// ends the process: every failure of any step becomes a fault or an error page, and what went
// wrong inside (a database's own message) goes to the log, never to the caller.
class ServiceRoutes : public RequestHandler
{
public:
    struct Settings
    {
        // "http://host:port" as clients reach the service: the WSDL's address and the base of
        // the configured page addresses. Never taken from a request's Host header.
        std::string publicSite;
        WebService::Settings service;
    };

    ServiceRoutes(Store &store, WebService::Workers workers, Settings settings);

    // What tells the event streams of changes; the store's own writes and its watch feed it.
    ChangeFeed &changeFeed() { return feed_; }

    void setPublicSite(std::string site) { publicSite_ = std::move(site); }

    void answer(const HttpRequest &request, const boost::asio::any_io_executor &executor,
                Reply reply) override;
    // The operation a SOAP call names in its SOAPAction header ("-" for none of ours, empty
    // for other requests).
    std::string operationOf(const HttpRequest &request) const override;

private:
    boost::asio::awaitable<HttpAnswer> route(const HttpRequest &request);
    std::string siteFor(const HttpRequest &request) const;
    boost::asio::awaitable<HttpAnswer> soapCall(const HttpRequest &request);
    HttpAnswer serviceDescription(const HttpRequest &request);
    boost::asio::awaitable<HttpAnswer> insiderPage(const HttpRequest &request);
    HttpAnswer demoPage(const std::string &file);
    boost::asio::awaitable<HttpAnswer> readiness();
    boost::asio::awaitable<HttpAnswer> eventStream(const HttpRequest &request);

    ChangeFeed feed_;
    WebService service_;
    WorkerPool &storeWorkers_;
    ReadinessProbe readiness_;
    std::string publicSite_;
};
