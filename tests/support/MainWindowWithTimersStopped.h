#pragma once

#include "UnitMain.h"

#include <memory>

// The main window as start-up shows it after the login, with both poll timers (Timer1, the
// tick, and Timer2) and the change stream stopped so that only the test drives the ticks.
std::unique_ptr<TFrmMain> showMainWindowWithTimersStopped();
// The same for a main window that start-up itself showed.
void stopPollTimers(TFrmMain &window);
