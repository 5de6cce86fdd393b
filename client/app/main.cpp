#include "StartUp.h"
#include "StockAlertApplication.h"

int main(int argc, char *argv[])
{
    StockAlertApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stock-alert"));
    return StartUp().run();
}
