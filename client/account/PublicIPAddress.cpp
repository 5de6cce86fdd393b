#include "PublicIPAddress.h"

#include "HttpTransport.h"
#include "ServiceClient.h"

#include <exception>

QString GetPublicIPAddress()
{
    try {
        const HttpResponse response =
            HttpTransport::get(ServiceClient::serviceHost() + QStringLiteral("/IP.aspx"));
        if (response.status == 200)
            return QString::fromUtf8(response.body);
        return QString();
    } catch (const std::exception &) {
        return QStringLiteral("0.0.0.0");
    }
}
