#pragma once

#include <QString>

// The file "gpxxjl.lwl" in the per-user configuration directory that remembers the last user
// name and password: GBK text, three lines ended by CR LF (name, "\", password), readable
// by its owner only.
class RememberedCredentials
{
public:
    struct Contents
    {
        bool exists = false; // a regular file is there (a directory in its place is not)
        QString userName;    // line 1, trimmed; empty when missing
        QString password;    // line 3, trimmed; empty when missing
    };

    // The full path of the file; the directory is not created here.
    static QString filePath();

    // Reads what can be read: a short file fills what it holds, an unreadable one nothing.
    static Contents read();
    // Replaces the file with the three lines (values trimmed); creates the directory.
    // Throws std::runtime_error when the old file cannot be deleted or the new one written.
    static void write(const QString &userName, const QString &password);
    // Deletes the file if there is one, read-only or not. Throws when that fails.
    static void remove();

    // The exact bytes write() puts into the file.
    static QByteArray encode(const QString &userName, const QString &password);
};
