#include "PrivateSessionBus.h"

#include <QFile>

namespace {

constexpr int StartBoundMs = 10000;

QByteArray configuration(const QString &socketDirectory)
{
    return QByteArrayLiteral(
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:dir=") +
           socketDirectory.toUtf8() +
           QByteArrayLiteral("</listen>\n"
                             "  <auth>EXTERNAL</auth>\n"
                             "  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n"
                             "    <allow own=\"*\"/>\n"
                             "  </policy>\n"
                             "</busconfig>\n");
}

} // namespace

PrivateSessionBus::~PrivateSessionBus()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

bool PrivateSessionBus::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    const QString configPath = m_dir.filePath(QStringLiteral("session.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly) || config.write(configuration(m_dir.path())) < 0) {
        m_error = config.errorString();
        return false;
    }
    config.close();

    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(StartBoundMs)) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
        return false;
    }
    while (!m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(StartBoundMs)) {
            m_error = QStringLiteral("dbus-daemon printed no address: ") +
                      QString::fromLocal8Bit(m_daemon.readAllStandardError());
            return false;
        }
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    return true;
}
