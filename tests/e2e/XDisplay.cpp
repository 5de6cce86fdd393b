#include "XDisplay.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace XDisplay {
namespace {

constexpr int ToolTimeoutMs = 10000;
QString g_lastError;

bool run(const QString &program, const QStringList &args, QString *output = nullptr)
{
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(ToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        g_lastError = program + QStringLiteral(" did not finish: ") + args.join(QLatin1Char(' '));
        return false;
    }
    if (output)
        *output = QString::fromUtf8(tool.readAllStandardOutput());
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        g_lastError = program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                      QString::fromUtf8(tool.readAllStandardError());
        return false;
    }
    return true;
}

QString xdotool()
{
    return QStringLiteral("xdotool");
}

} // namespace

QList<Window> visibleWindows(qint64 pid)
{
    QList<Window> windows;
    QString ids;
    // xdotool ends with 1 when nothing matches: that is an empty list, not an error. With a
    // name pattern as well it would list the root window too.
    run(xdotool(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                    QString::number(pid)},
        &ids);
    static const QRegularExpression position(QStringLiteral("Position: (-?\\d+),(-?\\d+)"));
    static const QRegularExpression size(QStringLiteral("Geometry: (\\d+)x(\\d+)"));
    for (const QString &line : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        Window window;
        window.id = line.trimmed().toULongLong();
        QString name;
        QString geometry;
        if (!run(xdotool(), {QStringLiteral("getwindowname"), QString::number(window.id)}, &name) ||
            !run(xdotool(), {QStringLiteral("getwindowgeometry"), QString::number(window.id)}, &geometry))
            continue; // gone in between
        window.name = name.trimmed();
        const auto at = position.match(geometry);
        const auto extent = size.match(geometry);
        if (at.hasMatch() && extent.hasMatch())
            window.geometry = QRect(at.captured(1).toInt(), at.captured(2).toInt(), extent.captured(1).toInt(),
                                    extent.captured(2).toInt());
        windows.append(window);
    }
    return windows;
}

bool exists(qulonglong id)
{
    return run(xdotool(), {QStringLiteral("getwindowname"), QString::number(id)});
}

bool sendKeys(qulonglong id, const QStringList &keys)
{
    if (!run(xdotool(), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(id)}))
        return false;
    for (const QString &key : keys) {
        if (!run(xdotool(), {QStringLiteral("key"), key}))
            return false;
        // One key per event-loop turn of the client, as a typing user gives them.
        QThread::msleep(200);
    }
    return true;
}

bool click(const Window &window, QPoint point)
{
    const QPoint at = window.geometry.topLeft() + point;
    return run(xdotool(), {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                           QStringLiteral("click"), QStringLiteral("1")});
}

bool screenshot(qulonglong id, const QString &path)
{
    return run(QStringLiteral("import"),
               {QStringLiteral("-window"), id ? QString::number(id) : QStringLiteral("root"), path});
}

QString lastError()
{
    return g_lastError;
}

} // namespace XDisplay
