#include "WebPagesLibrary.h"

#include <QCoreApplication>
#include <QLibrary>

#include <stdexcept>

Tmain *WebPagesLibrary::create(TFrmMain::PageKind kind, QWidget *hostPanel)
{
    using CreateWebPage = Tmain *(*)(TFrmMain::PageKind, QWidget *);
    // Once loaded, the library stays for the life of the process.
    static CreateWebPage createWebPage = nullptr;
    if (!createWebPage) {
        QLibrary library(QCoreApplication::applicationDirPath() + QStringLiteral("/stock-alert-webpages"));
        // Every symbol now: a library that does not fit this executable fails here, not mid-page.
        library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        createWebPage = reinterpret_cast<CreateWebPage>(library.resolve("createWebPage"));
        if (!createWebPage)
            throw std::runtime_error(
                QStringLiteral("网页组件无法载入：%1").arg(library.errorString()).toStdString());
    }
    return createWebPage(kind, hostPanel);
}
