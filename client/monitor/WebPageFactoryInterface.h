#pragma once

#include "PageKind.h"

#include <QtPlugin>

class QWidget;
class Tmain;

// What the web pages' library offers once loaded: it is a Qt plugin with this interface, found
// through QPluginLoader, so that loading checks the library against this build of the program
// (Qt version, interface id) before anything in it is called.
class WebPageFactoryInterface
{
public:
    virtual ~WebPageFactoryInterface() = default;
    // The web page of this kind in the host panel; nullptr for a kind that is not a web page.
    virtual Tmain *createWebPage(PageKind kind, QWidget *hostPanel) = 0;
};

#define WebPageFactoryInterface_iid "org.stock-alert.WebPageFactoryInterface/1.0"
Q_DECLARE_INTERFACE(WebPageFactoryInterface, WebPageFactoryInterface_iid)
