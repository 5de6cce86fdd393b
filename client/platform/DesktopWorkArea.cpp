#include "DesktopWorkArea.h"

#include <QGuiApplication>
#include <QScreen>

#include <array>
#include <utility>

namespace {

DesktopWorkArea::Provider &provider()
{
    static DesktopWorkArea::Provider instance;
    return instance;
}

DesktopWorkArea::Snapshot primaryScreen()
{
    DesktopWorkArea::Snapshot snapshot;
    // The offscreen and minimal platforms may run without any screen; so may a QCoreApplication.
    const QScreen *screen = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    if (!screen)
        return snapshot;
    snapshot.hasScreen = true;
    snapshot.screen = screen->geometry();
    snapshot.workArea = screen->availableGeometry();
    return snapshot;
}

} // namespace

DesktopWorkArea::Provider DesktopWorkArea::setProvider(Provider replacement)
{
    return std::exchange(provider(), std::move(replacement));
}

DesktopWorkArea::Snapshot DesktopWorkArea::current()
{
    return provider() ? provider()() : primaryScreen();
}

QRect DesktopWorkArea::workArea()
{
    const Snapshot snapshot = current();
    return snapshot.hasScreen ? snapshot.workArea : QRect();
}

std::optional<QRect> DesktopWorkArea::taskbarRect()
{
    const Snapshot snapshot = current();
    if (!snapshot.hasScreen)
        return std::nullopt;
    return reservedBand(snapshot.screen, snapshot.workArea).translated(-snapshot.screen.topLeft());
}

QRect DesktopWorkArea::reservedBand(const QRect &screen, const QRect &workArea)
{
    // Right and bottom are taken past the last pixel, so that a 40-pixel panel measures 40.
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    const int workRight = workArea.x() + workArea.width();
    const int workBottom = workArea.y() + workArea.height();

    enum Side { Bottom, Left, Top, Right };
    const std::array<std::pair<Side, int>, 4> insets{{
        {Bottom, screenBottom - workBottom},
        {Left, workArea.x() - screen.x()},
        {Top, workArea.y() - screen.y()},
        {Right, screenRight - workRight},
    }};
    std::pair<Side, int> widest = insets.front();
    for (const auto &inset : insets) {
        if (inset.second > widest.second)
            widest = inset;
    }

    const int reserved = qMax(0, widest.second);
    switch (widest.first) {
    case Left:
        return QRect(screen.x(), screen.y(), reserved, screen.height());
    case Top:
        return QRect(screen.x(), screen.y(), screen.width(), reserved);
    case Right:
        return QRect(screenRight - reserved, screen.y(), reserved, screen.height());
    case Bottom:
        break;
    }
    return QRect(screen.x(), screenBottom - reserved, screen.width(), reserved);
}
