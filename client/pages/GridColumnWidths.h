#pragma once

#include <QList>
#include <QString>

// The column widths the user gave a grid, kept with the other settings of the client
// (ReminderSettings::filePath()), so that the alert list opens with them next time.
namespace GridColumnWidths {

// The widths remembered for the grid, one per column; empty when none (or none that fit a grid
// of this many columns).
QList<int> remembered(const QString &grid, int columnCount);
void remember(const QString &grid, const QList<int> &widths);

} // namespace GridColumnWidths
