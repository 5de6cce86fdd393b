#pragma once

#include "PageKind.h"

class QWidget;
class Tmain;

// The web pages come from a library of their own, next to the executable, loaded the first time
// one opens: Qt WebEngine is most of a web page's memory, and a client that stays on its alert
// list never carries it.
class WebPagesLibrary
{
public:
    // The web page of this kind in the host panel. Throws when the library cannot be loaded
    // (an incomplete installation); the default error report shows the loader's reason.
    static Tmain *create(PageKind kind, QWidget *hostPanel);
};
