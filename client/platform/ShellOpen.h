#pragma once

#include <QString>

// Hands an address to the desktop (browser, QQ messenger). Whether anything opened is not
// reported: a link that leads nowhere simply does nothing.
class ShellOpen
{
public:
    static void open(const QString &address);
};
