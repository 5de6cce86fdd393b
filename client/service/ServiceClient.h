#pragma once

#include "WebServiceSoap.h"

#include <QString>
#include <memory>

// The one way to obtain a WebServiceSoap proxy: a fresh proxy (with its own transport)
// for every call, bound to the endpoint serviceHost() + "/WebService.asmx".
class ServiceClient
{
public:
    static std::unique_ptr<WebServiceSoap> GetWebServiceSoap();

    // A proxy for an explicit endpoint (tests talk to their own loopback servers).
    static std::unique_ptr<WebServiceSoap> GetWebServiceSoap(const QString &endpoint);

    // The host compiled in as SERVICE_HOST, e.g. "http://127.0.0.1:8765" (no trailing slash).
    // Tests may point the whole process at another host; the program itself never does.
    static QString serviceHost();
    static void setServiceHost(const QString &host);
    static QString endpoint(); // serviceHost() + "/WebService.asmx"
};
