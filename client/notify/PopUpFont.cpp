#include "PopUpFont.h"

PopUpFont::PopUpFont(const QFont &font, const QColor &color) : font(font), color(color) {}

bool PopUpFont::operator==(const PopUpFont &other) const
{
    return font == other.font && color == other.color;
}
