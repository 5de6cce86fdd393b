#include "ScreenPlacement.h"

#include <algorithm>

namespace ScreenPlacement {

namespace {

int keptInRange(int position, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return std::clamp(position, areaStart, areaStart + areaLength - length);
}

} // namespace

QPoint keptOnScreen(const QRect &window, const QRect &available)
{
    return {keptInRange(window.x(), window.width(), available.x(), available.width()),
            keptInRange(window.y(), window.height(), available.y(), available.height())};
}

QPoint centredOnScreen(const QRect &window, const QRect &available)
{
    QRect centred = window;
    centred.moveCenter(available.center());
    return keptOnScreen(centred, available);
}

bool headerReachable(const QRect &window, const QRect &available, int headerHeight)
{
    const QRect header(window.topLeft(), QSize(window.width(), headerHeight));
    const QRect visible = header.intersected(available);
    // Enough of it to take hold of.
    return visible.height() >= std::min(headerHeight, 20) && visible.width() >= std::min(window.width(), 100);
}

} // namespace ScreenPlacement
