#pragma once

#include <QApplication>

// The application object. An error that escapes any event handler is shown in the default
// error report and the event loop goes on; no exception ever crosses the loop.
class StockAlertApplication : public QApplication
{
    Q_OBJECT

public:
    StockAlertApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the report for an error text: the text, a "." added when its last character
    // sorts after ".", the application title as caption, the error icon and OK.
    static void showDefaultErrorReport(const QString &message);
    static QString defaultErrorReportText(const QString &message);
};
