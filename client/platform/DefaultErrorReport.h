#pragma once

#include <QString>

#include <functional>

// The default error report: what an error that no handler catches becomes. A message box with
// the error's text, the application title as caption, the error icon and OK; the program goes
// on.
namespace DefaultErrorReport {

// The text shown: the message with a "." added when its last character sorts after ".".
QString text(const QString &message);
void show(const QString &message);

// Runs a handler's body and shows the report for a std::exception it lets escape. Every slot
// that can fail is entered through it: Qt leaves an exception thrown out of a slot undefined.
void runHandler(const std::function<void()> &body);

} // namespace DefaultErrorReport
