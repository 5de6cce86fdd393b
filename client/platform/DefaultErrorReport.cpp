#include "DefaultErrorReport.h"

#include "ApplicationTitle.h"

#include <exception>

namespace DefaultErrorReport {

QString text(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

MessageBoxes::Request requestFor(const QString &message)
{
    MessageBoxes::Request request;
    request.caption = ApplicationTitle::text();
    request.icon = MessageBoxes::Icon::Error;
    const QString marker = QString::fromUtf8(DetailMarker);
    const qsizetype split = message.indexOf(marker);
    if (split < 0) {
        request.text = text(message);
    } else {
        request.text = message.left(split);
        request.details = message.mid(split + marker.size());
    }
    return request;
}

void show(const QString &message)
{
    const MessageBoxes::Request request = requestFor(message);
    MessageBoxes::application(request.text, request.caption, request.icon, request.buttons, nullptr,
                              request.details);
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
