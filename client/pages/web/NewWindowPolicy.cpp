#include "NewWindowPolicy.h"

namespace NewWindowPolicy {

QUrl target(const QUrl &requested, bool userInitiated, const QString &hoveredLink)
{
    if (!userInitiated)
        return {};
    const bool requestedNone = requested.isEmpty() || requested == QUrl(QStringLiteral("about:blank"));
    const QUrl url = requestedNone ? QUrl(hoveredLink.trimmed()) : requested;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return {};
    return url;
}

} // namespace NewWindowPolicy
