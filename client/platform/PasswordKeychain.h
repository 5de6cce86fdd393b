#pragma once

#include <QString>

#include <functional>
#include <optional>

// A remembered password in the desktop's keychain (the freedesktop secret service, through
// QtKeychain), one entry per user name. The keychain answers asynchronously
// and may ask the user to unlock it first: every call returns at once and reports later, on
// the user-interface thread, so that no window waits inside a nested event loop.
class PasswordKeychain
{
public:
    using ReadDone = std::function<void(std::optional<QString> password)>;
    using Done = std::function<void(bool ok, const QString &error)>;

    // A secret service runs on the session bus, or the bus can start one.
    static bool isAvailable();

    // The keychain's name for this program's entries.
    static QString serviceName();

    static void read(const QString &userName, ReadDone done);
    static void write(const QString &userName, const QString &password, Done done = {});
    static void remove(const QString &userName, Done done = {});
};
