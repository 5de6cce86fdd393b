#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

// The X display the tests run on (xvfb-run's), seen and driven from outside as a user would:
// xdotool finds windows and sends keys and clicks through XTEST, ImageMagick's import takes
// screenshots. Every call is bounded; a tool that does not answer counts as a failure.
namespace XDisplay {

struct Window
{
    qulonglong id = 0;
    QString name;
    QRect geometry;
};

// The visible top-level windows of the process pid (Qt sets _NET_WM_PID on each).
QList<Window> visibleWindows(qint64 pid);
// Whether a window with this id still exists.
bool exists(qulonglong id);
// Gives the window the keyboard focus (no window manager needed) and types the keys.
bool sendKeys(qulonglong id, const QStringList &keys);
// Clicks the left button at a point relative to the window's top-left corner.
bool click(const Window &window, QPoint point);
// Saves a screenshot of one window, or of the whole screen for id 0, as PNG.
bool screenshot(qulonglong id, const QString &path);
// What the last failed call printed, for failure messages.
QString lastError();

} // namespace XDisplay
