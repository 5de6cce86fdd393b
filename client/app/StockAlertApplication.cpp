#include "StockAlertApplication.h"

#include "MessageBoxes.h"

#include <exception>

StockAlertApplication::StockAlertApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool StockAlertApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        showDefaultErrorReport(QString::fromUtf8(error.what()));
    } catch (...) {
        showDefaultErrorReport(QStringLiteral("Unknown error"));
    }
    return false;
}

QString StockAlertApplication::defaultErrorReportText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void StockAlertApplication::showDefaultErrorReport(const QString &message)
{
    // The application title is the system name once the configuration is loaded, the
    // program's own name before.
    MessageBoxes::application(defaultErrorReportText(message), QGuiApplication::applicationDisplayName(),
                              MessageBoxes::Icon::Error);
}
