#pragma once

#include <QColor>
#include <QFont>

// A font together with the colour its text is drawn in. An invalid colour leaves the text in
// the palette's window-text colour.
class PopUpFont
{
public:
    PopUpFont() = default;
    explicit PopUpFont(const QFont &font, const QColor &color = QColor());

    QFont font;
    QColor color;

    bool operator==(const PopUpFont &other) const;
    bool operator!=(const PopUpFont &other) const { return !(*this == other); }
};
