#pragma once

#include <QRect>

#include <functional>
#include <optional>

// The desktop work area and the band reserved by the taskbar (a panel or dock on Linux
// desktops), read from the primary screen. Tests and headless runs may replace the screen
// with a provider of their own.
class DesktopWorkArea
{
public:
    // What one query of the desktop yields. Without a screen there is neither a work area
    // nor a taskbar.
    struct Snapshot
    {
        bool hasScreen = false;
        QRect screen;   // the whole primary screen, in desktop coordinates
        QRect workArea; // the part of it that windows may use
    };
    using Provider = std::function<Snapshot()>;

    // Replaces the primary screen as the source of every query; an empty provider restores it.
    // Returns the provider in place before (empty for the primary screen).
    static Provider setProvider(Provider provider);

    static Snapshot current();

    // The work area in desktop coordinates; an empty rectangle when there is no screen.
    static QRect workArea();

    // The band the taskbar reserves, relative to the screen's top-left corner; nullopt when
    // there is no screen.
    static std::optional<QRect> taskbarRect();

    // The band on the side where the screen and its work area differ most. Panels on several
    // sides: the widest wins, ties going to bottom, left, top, right in that order. No panel at
    // all: an empty band along the bottom edge, so that the taskbar counts as being at the bottom.
    static QRect reservedBand(const QRect &screen, const QRect &workArea);
};
