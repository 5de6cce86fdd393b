#include "TextContrast.h"

#include <QtMath>

#include <algorithm>

namespace TextContrast {

namespace {

double linear(double channel)
{
    return channel <= 0.03928 ? channel / 12.92 : qPow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

// The row reads when each pixel of its middle four fifths does (the edges carry the frame).
bool rowReads(const QImage &image, int y, const QColor &text, double minimum)
{
    const int from = image.width() / 10;
    const int to = std::max(from + 1, image.width() - image.width() / 10);
    const int step = std::max(1, (to - from) / 16);
    for (int x = from; x < to; x += step) {
        if (ratio(image.pixelColor(x, y), text) < minimum)
            return false;
    }
    return true;
}

} // namespace

double ratio(const QColor &first, const QColor &second)
{
    const double a = luminance(first) + 0.05;
    const double b = luminance(second) + 0.05;
    return std::max(a, b) / std::min(a, b);
}

Rows readableRows(const QImage &background, const QColor &text, int fromRow, double minimum)
{
    Rows best;
    Rows current{-1, -1};
    for (int y = std::max(0, fromRow); y < background.height(); ++y) {
        if (!rowReads(background, y, text, minimum)) {
            current = {-1, -1};
            continue;
        }
        if (current.top < 0)
            current.top = y;
        current.bottom = y + 1;
        if (current.height() > best.height())
            best = current;
    }
    return best;
}

} // namespace TextContrast
