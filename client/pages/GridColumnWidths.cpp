#include "GridColumnWidths.h"

#include "ReminderSettings.h"

#include <QSettings>
#include <QStringList>

namespace GridColumnWidths {

namespace {

// A width beyond this is no width a user set by hand: the file was edited or damaged.
constexpr int WidestColumn = 4000;

QString keyOf(const QString &grid)
{
    return QStringLiteral("columns/") + grid;
}

} // namespace

QList<int> remembered(const QString &grid, int columnCount)
{
    const QSettings settings(ReminderSettings::filePath(), QSettings::IniFormat);
    const QStringList texts = settings.value(keyOf(grid)).toStringList();
    if (texts.size() != columnCount)
        return {};
    QList<int> widths;
    for (const QString &text : texts) {
        bool ok = false;
        const int width = text.toInt(&ok);
        if (!ok || width < 0 || width > WidestColumn)
            return {};
        widths.append(width);
    }
    return widths;
}

void remember(const QString &grid, const QList<int> &widths)
{
    QStringList texts;
    for (const int width : widths)
        texts.append(QString::number(width));
    QSettings settings(ReminderSettings::filePath(), QSettings::IniFormat);
    settings.setValue(keyOf(grid), texts);
}

} // namespace GridColumnWidths
