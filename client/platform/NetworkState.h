#pragma once

#include <QString>

// Whether the computer can reach the service at all. Desktop Linux has no single "internet
// connected" flag, so a non-loopback interface that is up and running counts as a connection,
// and a service on this very machine is always reachable.
class NetworkState
{
public:
    static bool isConnected(const QString &serviceHost);

    // "localhost", 127.0.0.0/8 or ::1 in an address such as "http://127.0.0.1:8765".
    static bool isLoopbackHost(const QString &serviceHost);
    static bool hasRunningInterface();
};
