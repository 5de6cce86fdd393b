#pragma once

#include "XDisplay.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>

// The real stock-alert executable, started as a user of its own: a private home, configuration,
// data and runtime directory, so that two of them on one display are two users on two machines.
// Destroying it kills what is left of the process.
class ClientProcess
{
public:
    ClientProcess();
    ~ClientProcess();
    ClientProcess(const ClientProcess &) = delete;
    ClientProcess &operator=(const ClientProcess &) = delete;

    static QString executablePath();

    // Remembers these credentials in the user's file, as a previous sign-in would have.
    bool rememberCredentials(const QString &userName, const QString &password);
    // Places an authority's certificate where the user adds one for a private service (ca.pem).
    bool trustAuthority(const QString &certificateFile);
    bool start();
    // Waits for the login window and signs in with keys only: with the credentials remembered,
    // one Enter. True when the login window closed and the main window is on the screen.
    bool signInWithKeys(int timeoutMs);

    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool waitForExit(int timeoutMs);
    bool exitedNormally() const;
    void terminate() { m_process.terminate(); }

    // The client's visible window whose name contains text, if there is one.
    std::optional<XDisplay::Window> windowNamed(const QString &text) const;
    // The main window (the largest visible window) as last seen.
    const XDisplay::Window &mainWindow() const { return m_main; }
    // Visible windows other than the main window and Qt's 1 x 1 helpers: toasts, message boxes.
    QList<XDisplay::Window> otherWindows() const;

    // Whether one of the client's child processes runs a program whose name starts with name
    // (as /proc shows it, at most 15 characters).
    bool hasChildProcess(const QByteArray &name) const;

    QString log() const; // what the client wrote to standard output and error
    QString errorString() const { return m_error; }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    XDisplay::Window m_main;
    QString m_error;
};
