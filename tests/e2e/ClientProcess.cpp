#include "ClientProcess.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const char *const LoginWindowName = "登录窗体";

} // namespace

ClientProcess::ClientProcess()
{
    const QStringList dirs{QStringLiteral("config"), QStringLiteral("data"), QStringLiteral("cache"),
                           QStringLiteral("runtime"), QStringLiteral("tmp")};
    for (const QString &dir : dirs)
        QDir(m_home.path()).mkpath(dir);
    QFile::setPermissions(m_home.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("TMPDIR"), m_home.filePath(QStringLiteral("tmp")));
    // Another user's session bus or keychain is not this user's.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    // Qt WebEngine refuses to run as root with its sandbox.
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_home.filePath(QStringLiteral("client.log")));
}

ClientProcess::~ClientProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ClientProcess::executablePath()
{
    return QStringLiteral(STOCK_ALERT_CLIENT_PATH);
}

bool ClientProcess::rememberCredentials(const QString &userName, const QString &password)
{
    // The client's own format: three lines ended by CR LF (name, "\", password), owner-only.
    const QString dir = m_home.filePath(QStringLiteral("config/stock-alert"));
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/gpxxjl.lwl"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_error = file.errorString();
        return false;
    }
    const QByteArray bytes = userName.toUtf8() + "\r\n\\\r\n" + password.toUtf8() + "\r\n";
    return file.write(bytes) == bytes.size();
}

bool ClientProcess::trustAuthority(const QString &certificateFile)
{
    const QString dir = m_home.filePath(QStringLiteral("config/stock-alert"));
    QDir().mkpath(dir);
    QFile::remove(dir + QStringLiteral("/ca.pem"));
    QFile source(certificateFile);
    if (!source.copy(dir + QStringLiteral("/ca.pem"))) {
        m_error = source.errorString();
        return false;
    }
    return true;
}

bool ClientProcess::start()
{
    m_process.start(executablePath(), {});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start the client: ") + m_process.errorString();
        return false;
    }
    return true;
}

bool ClientProcess::signInWithKeys(int timeoutMs)
{
    std::optional<XDisplay::Window> login;
    if (!QTest::qWaitFor([&] { return isRunning() && (login = windowNamed(LoginWindowName)).has_value(); },
                         timeoutMs)) {
        m_error = QStringLiteral("no login window; client log: ") + log();
        return false;
    }
    // Both boxes hold the remembered credentials: one Enter signs in.
    if (!XDisplay::sendKeys(login->id, {QStringLiteral("Return")})) {
        m_error = XDisplay::lastError();
        return false;
    }
    const bool signedIn = QTest::qWaitFor(
        [&] {
            if (!isRunning() || XDisplay::exists(login->id))
                return false;
            const QList<XDisplay::Window> windows = XDisplay::visibleWindows(pid());
            for (const XDisplay::Window &window : windows) {
                const auto area = [](const QRect &r) { return qint64(r.width()) * r.height(); };
                if (area(window.geometry) > area(m_main.geometry))
                    m_main = window;
            }
            return m_main.id != 0;
        },
        timeoutMs);
    if (!signedIn)
        m_error = QStringLiteral("the main window did not replace the login window; client log: ") + log();
    return signedIn;
}

bool ClientProcess::waitForExit(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

bool ClientProcess::exitedNormally() const
{
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit &&
           m_process.exitCode() == 0;
}

std::optional<XDisplay::Window> ClientProcess::windowNamed(const QString &text) const
{
    for (const XDisplay::Window &window : XDisplay::visibleWindows(m_process.processId())) {
        if (window.name.contains(text))
            return window;
    }
    return std::nullopt;
}

QList<XDisplay::Window> ClientProcess::otherWindows() const
{
    QList<XDisplay::Window> others;
    for (const XDisplay::Window &window : XDisplay::visibleWindows(m_process.processId())) {
        // By size, not by id: the main window gets a new native window when a web page opens.
        if (window.geometry.size() != m_main.geometry.size() && window.geometry.width() > 1 &&
            window.geometry.height() > 1)
            others.append(window);
    }
    return others;
}

bool ClientProcess::hasChildProcess(const QByteArray &name) const
{
    const QByteArray parent = QByteArray::number(pid());
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks, so split after its last ')'.
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest[1] == parent && line.mid(open + 1, close - open - 1).startsWith(name))
            return true;
    }
    return false;
}

QString ClientProcess::log() const
{
    QFile file(m_home.filePath(QStringLiteral("client.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
