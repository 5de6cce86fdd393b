#pragma once

#include "UnitMain.h"

// The entry point of the web pages' library. The client loads that library the first time a
// web page opens and resolves this one name, so its C linkage keeps the name unmangled.
// Answers nullptr for a kind that is not a web page.
extern "C" Tmain *createWebPage(TFrmMain::PageKind kind, QWidget *hostPanel);
