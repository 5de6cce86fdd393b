#pragma once

#include <QString>
#include <QUrl>

// Where a page's request for a new window may lead. Only a window the user asked for (a click,
// not a script on its own), only to a web address: a page must not send the view to a local
// file, the program's resources, a script or a page's source. The address is the one requested;
// the last hovered link stands in only where the engine gives none (window.open('')).
namespace NewWindowPolicy {

// The address to open in place, or an empty URL: the request is refused.
QUrl target(const QUrl &requested, bool userInitiated, const QString &hoveredLink);

} // namespace NewWindowPolicy
