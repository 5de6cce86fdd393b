#pragma once

#include <QString>

// The default error report: what an error that no handler catches becomes. A message box with
// the error's text, the application title as caption, the error icon and OK; the program goes
// on.
namespace DefaultErrorReport {

// The text shown: the message with a "." added when its last character sorts after ".".
QString text(const QString &message);
void show(const QString &message);

} // namespace DefaultErrorReport
