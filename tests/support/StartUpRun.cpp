#include "StartUpRun.h"

#include "StartUp.h"

int runStartUp(bool networkUp, const std::function<void()> &loop, bool *loopRan)
{
    if (loopRan)
        *loopRan = false;
    StartUp startUp;
    startUp.setNetworkCheck([networkUp] { return networkUp; });
    startUp.setMessageLoop([&] {
        if (loopRan)
            *loopRan = true;
        if (loop)
            loop();
        return 0;
    });
    return startUp.run();
}
