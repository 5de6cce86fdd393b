#include "DefaultErrorReport.h"

#include "MessageBoxes.h"

#include <QGuiApplication>

namespace DefaultErrorReport {

QString text(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void show(const QString &message)
{
    // The application title is the system name once the configuration is loaded, the
    // program's own name before.
    MessageBoxes::application(text(message), QGuiApplication::applicationDisplayName(), MessageBoxes::Icon::Error);
}

} // namespace DefaultErrorReport
