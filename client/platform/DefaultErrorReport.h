#pragma once

#include "MessageBoxes.h"

#include <QString>

#include <functional>

// The default error report: what an error that no handler catches becomes. A message box with
// the error's text, the application title as caption, the error icon and OK; the program goes
// on. A failure that carries a sentence for the subscriber and a technical detail (a service
// call that failed on its way) shows the sentence, with the detail behind the details button.
namespace DefaultErrorReport {

// Separates a failure's sentence from its technical detail: the very marker the service's
// transport failures put into their text (TransportFailure::DetailMarker).
inline constexpr const char *DetailMarker = "\n\n技术信息：";

// The text shown: the message with a "." added when its last character sorts after ".".
QString text(const QString &message);
// The box for an error's message: its text and details, caption and icon.
MessageBoxes::Request requestFor(const QString &message);
void show(const QString &message);

// Runs a handler's body and shows the report for a std::exception it lets escape. Every slot
// that can fail is entered through it: Qt leaves an exception thrown out of a slot undefined.
void runHandler(const std::function<void()> &body);

} // namespace DefaultErrorReport
