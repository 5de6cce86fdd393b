#pragma once

#include <functional>

// Runs the client's start-up with the network check answering `networkUp` and, in place of
// the message loop, `loop` (which sees the windows as the loop would). Returns start-up's exit
// code; *loopRan tells whether the loop was reached.
int runStartUp(bool networkUp, const std::function<void()> &loop = {}, bool *loopRan = nullptr);
