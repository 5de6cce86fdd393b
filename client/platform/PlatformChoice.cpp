#include "PlatformChoice.h"

#include <QtGlobal>

QByteArray PlatformChoice::platformFor(const Environment &environment)
{
    if (!environment("QT_QPA_PLATFORM").isEmpty())
        return {};
    const bool wayland =
        environment("XDG_SESSION_TYPE") == "wayland" || !environment("WAYLAND_DISPLAY").isEmpty();
    // XWayland announces itself the way any X server does.
    const bool xwayland = !environment("DISPLAY").isEmpty();
    return wayland && xwayland ? QByteArrayLiteral("xcb") : QByteArray();
}

void PlatformChoice::applyToProcess()
{
    const QByteArray platform = platformFor([](const char *name) { return qgetenv(name); });
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}
