#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus session bus of the test's own: a dbus-daemon on a private socket with no services
// to start on demand (so that nothing of the machine's desktop, a keychain for instance,
// wakes up behind the test's back). start() points DBUS_SESSION_BUS_ADDRESS at it; call it
// before anything in the process asks for the session bus, i.e. before QApplication exists.
// The daemon ends with this object.
class PrivateSessionBus
{
public:
    PrivateSessionBus() = default;
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool start();
    QString address() const { return m_address; }
    QString errorString() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};
