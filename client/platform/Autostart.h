#pragma once

#include <QString>

// Start at desktop login: an XDG autostart entry for this program in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart), which desktops read when the user logs in.
// Whether the entry is there is the setting itself; nothing else remembers it.
class Autostart
{
public:
    static QString entryPath();
    static bool isEnabled();

    // Writes the entry for `program` (by default this executable) or removes it. Returns false
    // with the reason in *error when the file system refused.
    static bool setEnabled(bool enabled, QString *error = nullptr, const QString &program = QString());

    // The entry's text; Exec holds the program quoted as desktop entries require.
    static QByteArray entryText(const QString &program, const QString &name);
    static QString quotedExec(const QString &program);
};
