#include "OutsideText.h"

#include <QPlainTextEdit>
#include <QTextOption>

#include <algorithm>

namespace {

// Word wrapping a run without a break opportunity takes time that grows with the square of
// its length: a minute for a megabyte. Texts of this length and longer wrap anywhere, which
// stays linear; a prompt of sense is far shorter and keeps its word wrapping.
constexpr qsizetype LongestWordWrappedText = 20000;

} // namespace

namespace OutsideText {

QString cut(const QString &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    return text.left(limit) + QChar(0x2026);
}

QString forMessageBox(const QString &text)
{
    qsizetype end = 0;
    for (qsizetype line = 0; line < MessageBoxLines && end >= 0; ++line)
        end = text.indexOf(QLatin1Char('\n'), end > 0 ? end + 1 : 0);
    const qsizetype limit = end >= 0 ? std::min(end, MessageBoxLimit) : MessageBoxLimit;
    return cut(text, limit);
}

QString forToolTip(const QString &text, qsizetype limit)
{
    // Marked as rich text on purpose, with every character escaped: rich text is the one form
    // every Qt tooltip shows as given, entities and all.
    QString escaped = cut(text, limit).toHtmlEscaped();
    escaped.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("<br>"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return QStringLiteral("<qt>") + escaped + QStringLiteral("</qt>");
}

void showInView(QPlainTextEdit *view, const QString &text)
{
    const QString shown = cut(text, TextViewLimit);
    view->setWordWrapMode(shown.size() >= LongestWordWrappedText ? QTextOption::WrapAnywhere
                                                                 : QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setPlainText(shown);
}

} // namespace OutsideText
