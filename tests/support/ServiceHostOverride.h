#pragma once

#include "ServiceClient.h"

// Points the whole process at another service host while it exists, then back at the one
// before.
class ServiceHostOverride
{
public:
    explicit ServiceHostOverride(const QString &host) : m_previous(ServiceClient::serviceHost())
    {
        ServiceClient::setServiceHost(host);
    }
    ~ServiceHostOverride() { ServiceClient::setServiceHost(m_previous); }
    ServiceHostOverride(const ServiceHostOverride &) = delete;
    ServiceHostOverride &operator=(const ServiceHostOverride &) = delete;

private:
    QString m_previous;
};
