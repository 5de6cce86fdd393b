#pragma once

#include <QtGlobal>

// A TCP connection to the service on 127.0.0.1 from a chosen loopback address, so that a test
// can play several clients that the service tells apart by address.
namespace LoopbackSocket {

struct Options
{
    int receiveBuffer = 0;      // bytes; 0 keeps the system's size
    int readTimeoutSeconds = 0; // 0: reads may wait for ever
};

// The connected socket's descriptor (the caller closes it), or -1.
int connectFrom(const char *source, quint16 port, Options options = {});

} // namespace LoopbackSocket
