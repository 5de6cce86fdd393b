#pragma once

#include <QString>
#include <QStringList>

// The change-counter text that ifchangetable answers, and the twelve name=value lines of
// UnitGlouble.ChangeCounters built from it.
namespace ChangeCounters {

// The delimited-text rule with "," as delimiter: blanks and control characters separate items
// as commas do, double quotes enclose an item (two in a row stand for one), two commas in a
// row give an empty item and a comma at the very end gives a final empty item.
QStringList splitDelimitedText(const QString &text);

// Appends the twelve name=value lines built from the text to `lines`, in their fixed order.
// Throws "List index out of bounds (%d)" at the first missing item; the lines added before
// stay.
void appendLines(const QString &counterText, QStringList &lines);
// Clears UnitGlouble.ChangeCounters and appends the twelve lines to it.
void store(const QString &counterText);

// The value after the first "=" of the first line with that name, or empty text.
QString value(const QStringList &lines, const QString &name);
QString value(const QString &name); // in UnitGlouble.ChangeCounters
// The value read as a 32-bit integer; throws "'%s' is not a valid integer value".
qint32 counter(const QStringList &lines, const QString &name);
qint32 counter(const QString &name); // in UnitGlouble.ChangeCounters

// Calls ifchangetable for the user level (which must be an integer) through a fresh proxy.
// Blocks; safe to call from a worker thread: it reads UnitGlouble only through its argument.
QString fetchText(const QString &userLevel);

} // namespace ChangeCounters

// Refetches the counters into UnitGlouble.ChangeCounters: fetchText then store, while the user
// waits (UserWait). Throws on any failure, cancelling included. The pages that mark their streams
// as seen call it when they open.
void FetchChangeCounters();
