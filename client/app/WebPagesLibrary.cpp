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
        QPluginLoader loader(QCoreApplication::applicationDirPath() +
                             QStringLiteral("/libstock-alert-webpages.so"));
        QObject *plugin = loader.instance();
        factory = qobject_cast<WebPageFactoryInterface *>(plugin);
        if (!factory) {
            const QString reason =
                plugin ? QStringLiteral("%1 does not offer the web pages").arg(loader.fileName())
                       : loader.errorString();
            throw std::runtime_error(QStringLiteral("网页组件无法载入：%1").arg(reason).toStdString());
        }
    }
    return factory->createWebPage(kind, hostPanel);
}
