#pragma once

#include <QApplication>

// The application object. An error that escapes any event handler is shown in the default
// error report (DefaultErrorReport) and the event loop goes on; no exception ever crosses the
// loop.
class StockAlertApplication : public QApplication
{
    Q_OBJECT

public:
    StockAlertApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
