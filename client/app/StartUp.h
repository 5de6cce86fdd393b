#pragma once

#include <functional>

// The program's start-up, in its fixed order: network check, data module, hidden main window,
// login window (which loads the configuration), the modal login, then the message loop.
// Returns the process exit code, 0 on every path.
class StartUp
{
public:
    using NetworkCheck = std::function<bool()>;
    using MessageLoop = std::function<int()>;

    // By default the network check asks the platform about the compiled-in service host and
    // the message loop is QApplication::exec().
    StartUp();

    void setNetworkCheck(NetworkCheck check) { m_networkCheck = std::move(check); }
    void setMessageLoop(MessageLoop loop) { m_messageLoop = std::move(loop); }

    int run();

    // true when a non-loopback interface is up and running, or when the service is local.
    static bool IsNetworkConnected();

private:
    NetworkCheck m_networkCheck;
    MessageLoop m_messageLoop;
};
