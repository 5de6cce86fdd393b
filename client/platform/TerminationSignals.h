#pragma once

#include <functional>

// SIGTERM and SIGINT end the program the way its own exit does: the handler runs on the
// user-interface thread (a signal handler itself may do almost nothing), so the windows close
// and their destroy steps run.
namespace TerminationSignals {

// Installs the handlers; `onSignal` runs from the event loop after either signal arrived.
void install(std::function<void()> onSignal);

} // namespace TerminationSignals
