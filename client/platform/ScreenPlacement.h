#pragma once

#include <QPoint>
#include <QRect>

// Where a window without a frame goes so that the user can reach it: a borderless window has no
// title bar the desktop keeps on screen, and one placed partly off the screen (a window larger
// than a small or scaled screen, centred on it) cannot be dragged back by a part that is not
// there.
namespace ScreenPlacement {

// The window moved as little as needed to lie within the available area; a window larger than
// the area keeps its top-left corner in it (the header, which drags the window, stays reachable).
QPoint keptOnScreen(const QRect &window, const QRect &available);

// The window centred on the area, and then kept on it.
QPoint centredOnScreen(const QRect &window, const QRect &available);

// Whether a strip of the window's top this high (the part it is dragged by) is still on the area.
bool headerReachable(const QRect &window, const QRect &available, int headerHeight);

} // namespace ScreenPlacement
