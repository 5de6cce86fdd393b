#include "WebPagesLibrary.h"

#include "WebPageFactoryInterface.h"

#include <QCoreApplication>
#include <QPluginLoader>

#include <stdexcept>

Tmain *WebPagesLibrary::create(PageKind kind, QWidget *hostPanel)
{
    // Once loaded, the library stays for the life of the process (the loader never unloads it).
    static WebPageFactoryInterface *factory = nullptr;
    if (!factory) {
        const QString file =
            QCoreApplication::applicationDirPath() + QStringLiteral("/libstock-alert-webpages.so");
        QPluginLoader loader(file);
        QObject *plugin = loader.instance();
        factory = qobject_cast<WebPageFactoryInterface *>(plugin);
        if (!factory) {
            // The loader's reason does not always name the file; the report does.
            const QString reason =
                plugin ? QStringLiteral("the library does not offer the web pages") : loader.errorString();
            throw std::runtime_error(
                QStringLiteral("网页组件无法载入：%1: %2").arg(file, reason).toStdString());
        }
    }
    return factory->createWebPage(kind, hostPanel);
}
