#include "ServiceClient.h"

#include "SoapProxy.h"

#ifndef SERVICE_HOST
#error "SERVICE_HOST must be defined by the build"
#endif

namespace {

QString &hostSetting()
{
    static QString host = QStringLiteral(SERVICE_HOST);
    return host;
}

} // namespace

std::unique_ptr<WebServiceSoap> ServiceClient::GetWebServiceSoap()
{
    return GetWebServiceSoap(endpoint());
}

std::unique_ptr<WebServiceSoap> ServiceClient::GetWebServiceSoap(const QString &endpoint)
{
    return std::make_unique<SoapProxy>(endpoint);
}

QString ServiceClient::serviceHost()
{
    return hostSetting();
}

void ServiceClient::setServiceHost(const QString &host)
{
    QString trimmed = host;
    // "http://host:port/" and "http://host:port" name the same host; keep one slash in the endpoint.
    while (trimmed.endsWith(u'/'))
        trimmed.chop(1);
    hostSetting() = trimmed;
}

QString ServiceClient::endpoint()
{
    return serviceHost() + QStringLiteral("/WebService.asmx");
}
