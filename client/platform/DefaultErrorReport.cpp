#include "DefaultErrorReport.h"

#include "MessageBoxes.h"

#include <QGuiApplication>

#include <exception>

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
    MessageBoxes::application(text(message), QGuiApplication::applicationDisplayName(),
                              MessageBoxes::Icon::Error);
}

void runHandler(const std::function<void()> &body)
{
    try {
        body();
    } catch (const std::exception &error) {
        show(QString::fromUtf8(error.what()));
    }
}

} // namespace DefaultErrorReport
