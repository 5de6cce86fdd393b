#include "NetworkState.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QUrl>

bool NetworkState::isConnected(const QString &serviceHost)
{
    return isLoopbackHost(serviceHost) || hasRunningInterface();
}

bool NetworkState::isLoopbackHost(const QString &serviceHost)
{
    const QString host = QUrl(serviceHost).host();
    if (host.isEmpty())
        return false;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool NetworkState::hasRunningInterface()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &netif : interfaces) {
        const auto flags = netif.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning))
            return true;
    }
    return false;
}
