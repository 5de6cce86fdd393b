#pragma once

#include "HttpTransport.h"

// Shorter HTTP time-outs while it exists, then the ones before.
class TransportTimeoutsOverride
{
public:
    TransportTimeoutsOverride(long connectMs, long totalMs) : m_previous(HttpTransport::timeouts())
    {
        HttpTransport::setTimeouts(connectMs, totalMs);
    }
    ~TransportTimeoutsOverride() { HttpTransport::setTimeouts(m_previous.connectMs, m_previous.totalMs); }
    TransportTimeoutsOverride(const TransportTimeoutsOverride &) = delete;
    TransportTimeoutsOverride &operator=(const TransportTimeoutsOverride &) = delete;

private:
    HttpTransport::Timeouts m_previous;
};
