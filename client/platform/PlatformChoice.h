#pragma once

#include <QByteArray>

#include <functional>

// Which windowing platform the client asks Qt for, decided before QApplication exists.
// Toasts are placed at absolute screen positions, which Wayland does not let a client choose:
// in a Wayland session with XWayland the client runs on X11 instead, unless the user named a
// platform with QT_QPA_PLATFORM. Without XWayland it stays on Wayland and announces alerts
// through the desktop's notifications.
class PlatformChoice
{
public:
    using Environment = std::function<QByteArray(const char *name)>;

    // "xcb" when the client should run on XWayland, else empty (Qt's own choice).
    static QByteArray platformFor(const Environment &environment);

    // Sets QT_QPA_PLATFORM from the process environment when platformFor() says so.
    static void applyToProcess();
};
