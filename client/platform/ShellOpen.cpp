#include "ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

void ShellOpen::open(const QString &address)
{
    const QUrl url = QUrl::fromUserInput(address);
    if (url.isValid())
        QDesktopServices::openUrl(url);
}
