#include "StockAlertApplication.h"

#include "DefaultErrorReport.h"

#include <exception>

StockAlertApplication::StockAlertApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool StockAlertApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        DefaultErrorReport::show(QString::fromUtf8(error.what()));
    } catch (...) {
        DefaultErrorReport::show(QStringLiteral("Unknown error"));
    }
    return false;
}
