#include "MainWindowWithTimersStopped.h"

#include "ChangeStream.h"

#include <QTimer>

std::unique_ptr<TFrmMain> showMainWindowWithTimersStopped()
{
    auto window = std::make_unique<TFrmMain>();
    window->show();
    stopPollTimers(*window);
    return window;
}

void stopPollTimers(TFrmMain &window)
{
    window.Timer1->stop();
    window.Timer2->stop();
    window.changeStream()->stop();
}
