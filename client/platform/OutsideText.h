#pragma once

#include <QString>

class QPlainTextEdit;

// Text that comes from outside (the service's answers and faults, files) is shown as plain
// text and within bounds, whatever it holds.
namespace OutsideText {

// Message boxes show at most this many characters and lines, so that the box and its buttons
// stay on the screen.
constexpr qsizetype MessageBoxLimit = 1000;
constexpr qsizetype MessageBoxLines = 30;
// A text view shows at most this many characters; beyond it, a text is noise, not a message.
constexpr qsizetype TextViewLimit = 1024 * 1024;

// A tooltip shows at most this many characters.
constexpr qsizetype ToolTipLimit = 200;

// The text cut after `limit` characters with "…" in place of the rest.
QString cut(const QString &text, qsizetype limit);
// The text cut to what a message box shows: MessageBoxLimit characters, MessageBoxLines lines.
QString forMessageBox(const QString &text);

// The text cut to `limit`, made into a tooltip that shows it literally, line breaks kept: Qt
// shows a tooltip that merely looks like markup as rich text, so a name holding a table would
// draw one.
QString forToolTip(const QString &text, qsizetype limit = ToolTipLimit);

// Puts the text into a plain-text view so that it comes up fast even for megabytes: long
// texts wrap anywhere, short ones at word boundaries.
void showInView(QPlainTextEdit *view, const QString &text);

} // namespace OutsideText
