#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};

// Only async-signal-safe calls here: one byte into the socket the event loop watches.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

namespace TerminationSignals {

void install(std::function<void()> handler)
{
    if (signalSockets[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    // The notifier lives as long as the process: signals may come at any time until the end.
    auto *notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [handler = std::move(handler)] {
        char byte;
        [[maybe_unused]] const ssize_t read = ::read(signalSockets[1], &byte, 1);
        handler();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace TerminationSignals
