#pragma once

#include "WebPageFactoryInterface.h"

#include <QObject>

// The web pages' library as a Qt plugin: the client loads the library the first time a web
// page opens and asks this one object for the pages.
class WebPageFactory : public QObject, public WebPageFactoryInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID WebPageFactoryInterface_iid)
    Q_INTERFACES(WebPageFactoryInterface)

public:
    Tmain *createWebPage(PageKind kind, QWidget *hostPanel) override;
};
