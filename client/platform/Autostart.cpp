#include "Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString Autostart::entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QCoreApplication::applicationName() + QStringLiteral(".desktop");
}

bool Autostart::isEnabled()
{
    return QFileInfo(entryPath()).isFile();
}

// Inside double quotes an Exec value escapes ", `, $ and \ with a backslash; the value as a
// whole is then a desktop-entry string, in which every backslash is doubled again.
QString Autostart::quotedExec(const QString &program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    return quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

QByteArray Autostart::entryText(const QString &program, const QString &name)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=%1\n"
                                  "Exec=%2\n"
                                  "Terminal=false\n"
                                  "X-GNOME-Autostart-enabled=true\n")
                       .arg(QString(name).remove(QLatin1Char('\n')), quotedExec(program));
    return text.toUtf8();
}

bool Autostart::setEnabled(bool enabled, QString *error, const QString &program)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        if (error)
            *error = file.errorString();
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QString executable = program.isEmpty() ? QCoreApplication::applicationFilePath() : program;
    if (file.open(QIODevice::WriteOnly) &&
        file.write(entryText(executable, QCoreApplication::applicationName())) >= 0 && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
