#pragma once

#include <QString>

// Signs in as a user would: the login window with the name and password typed and the login
// button clicked, which loads the configuration, fills the global state and writes the online
// record. True when the window closed with OK.
bool signInThroughLoginWindow(const QString &name, const QString &password);
