// Not a test: the client as a user starts it, pointed at the service host given as its one
// argument (the real program has its host compiled in). tst_SingleInstance starts it while
// another client already runs.
#include "ServiceClient.h"
#include "StartUp.h"
#include "StockAlertApplication.h"

int main(int argc, char *argv[])
{
    StockAlertApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stock-alert"));
    if (argc > 1)
        ServiceClient::setServiceHost(QString::fromLocal8Bit(argv[1]));
    return StartUp().run();
}
