#include "GraphicsChoice.h"
#include "InterfaceLanguage.h"
#include "PlatformChoice.h"
#include "StartUp.h"
#include "StockAlertApplication.h"

int main(int argc, char *argv[])
{
    // Before the application object: Qt picks its platform while constructing it.
    PlatformChoice::applyToProcess();
    GraphicsChoice::applyToProcess();
    StockAlertApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stock-alert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(STOCK_ALERT_VERSION));
    InterfaceLanguage::apply(application);
    return StartUp().run();
}
