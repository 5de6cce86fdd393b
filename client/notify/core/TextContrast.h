#pragma once

#include <QColor>
#include <QImage>

// How well text of one colour reads on another: the contrast ratio of WCAG 2 (1 to 21; 4.5 is
// the least for body text), and where on a background picture a text colour reads.
namespace TextContrast {

// The contrast ratio of two colours, from their relative luminance.
double ratio(const QColor &first, const QColor &second);

// Rows [top, bottom) of a picture.
struct Rows
{
    int top = 0;
    int bottom = 0;
    int height() const { return bottom - top; }
};

// The longest run of rows at or below fromRow on which text of this colour reads (every
// sampled pixel of the row's middle part has at least `minimum` contrast with it). An empty
// run when no row does.
Rows readableRows(const QImage &background, const QColor &text, int fromRow, double minimum = 4.5);

} // namespace TextContrast
