#include "PopUpLayout.h"

#include <cstdint>
#include <limits>

namespace {

int rightOf(const QRect &r)
{
    return r.x() + r.width();
}

int bottomOf(const QRect &r)
{
    return r.y() + r.height();
}

} // namespace

int PopUpLayout::taskbarEdge(const std::optional<QRect> &taskbar)
{
    if (!taskbar)
        return EdgeUndetermined;
    const int left = taskbar->x();
    const int top = taskbar->y();
    const int right = rightOf(*taskbar);
    const int bottom = bottomOf(*taskbar);
    if (left == top && bottom > right)
        return EdgeLeft;
    if (left == top && bottom < right)
        return EdgeTop;
    if (left < top)
        return EdgeBottom;
    return EdgeRight;
}

void PopUpLayout::taskbarEdgeChanged(int edge)
{
    m_lastTaskbarEdge = edge;
    m_popupCount = 0;
    m_takenOffsets.clear();
}

int PopUpLayout::lowestFreeOffset(int step) const
{
    int offset = 0;
    while (m_takenOffsets.count(offset) > 0)
        offset += step;
    return offset;
}

bool PopUpLayout::admit(const QRect &workArea, const QSize &toastSize, const Margins &margins)
{
    const int offset = lowestFreeOffset(toastSize.height() + margins.marge);
    if (!m_takenOffsets.empty() && !hasRoom(m_lastTaskbarEdge, offset, workArea, toastSize, margins))
        return false;
    m_cascadeOffset = offset;
    ++m_popupCount;
    return true;
}

QPoint PopUpLayout::place(int edge, const QRect &workArea, const QSize &toastSize, const Margins &margins,
                          bool cascade, int *startOffset)
{
    const int w = toastSize.width();
    const int h = toastSize.height();
    QPoint position(0, 0); // an undetermined taskbar leaves the toast at the desktop's origin
    switch (edge) {
    case EdgeLeft:
        position =
            QPoint(workArea.x() + margins.startX, bottomOf(workArea) - margins.startY - h - m_cascadeOffset);
        break;
    case EdgeTop:
        position =
            QPoint(rightOf(workArea) - w - margins.startX, workArea.y() + margins.startY + m_cascadeOffset);
        break;
    case EdgeRight:
    case EdgeBottom:
        position = QPoint(rightOf(workArea) - w - margins.startX,
                          bottomOf(workArea) - margins.startY - h - m_cascadeOffset);
        break;
    default:
        break;
    }
    if (startOffset)
        *startOffset = m_cascadeOffset;
    // Toasts always stack vertically: upwards from a left, right or bottom taskbar, downwards
    // from a top one. Toasts that do not cascade all sit at the base and take no place.
    if (!cascade || edge < EdgeLeft || edge > EdgeBottom) {
        m_cascadeOffset = 0;
    } else {
        m_takenOffsets.insert(m_cascadeOffset);
        m_cascadeOffset = lowestFreeOffset(h + margins.marge);
    }
    return position;
}

void PopUpLayout::release(int startOffset)
{
    if (m_popupCount > 0)
        --m_popupCount;
    if (const auto taken = m_takenOffsets.find(startOffset); taken != m_takenOffsets.end())
        m_takenOffsets.erase(taken);
}

bool PopUpLayout::hasRoom(int edge, int cascadeOffset, const QRect &workArea, const QSize &toastSize,
                          const Margins &margins)
{
    if (edge < EdgeLeft || edge > EdgeBottom)
        return true;
    // The stack grows vertically over every edge, so the next toast must fit within the work
    // area's height. Measuring a left or right taskbar's stack against the work area's width
    // would let toasts climb past the top of the screen, shown where nobody can see them.
    return cascadeOffset + toastSize.height() + margins.startY <= workArea.height();
}

QRect PopUpLayout::collapsed(int edge, const QRect &full)
{
    QRect r = full;
    switch (edge) {
    case EdgeLeft:
        r.setWidth(1);
        break;
    case EdgeTop:
        r.setHeight(1);
        break;
    case EdgeRight:
        r = QRect(full.x() + full.width(), full.y(), 1, full.height());
        break;
    case EdgeBottom:
        r = QRect(full.x(), full.y() + full.height(), full.width(), 1);
        break;
    default:
        break;
    }
    return r;
}

PopUpLayout::Step PopUpLayout::slideIn(int edge, const QRect &current, const QSize &full, int speed,
                                       const QRect &workArea, const Margins &margins, int startOffset)
{
    Step step{current, false};
    QRect &r = step.geometry;
    const int w = current.width();
    const int h = current.height();
    switch (edge) {
    case EdgeLeft:
        if (w + speed < full.width()) {
            r.setWidth(w + speed);
        } else {
            r.setWidth(full.width());
            step.finished = true;
        }
        break;
    case EdgeTop:
        if (h + speed < full.height()) {
            r.setHeight(h + speed);
        } else {
            r.setHeight(full.height());
            step.finished = true;
        }
        break;
    case EdgeRight:
        if (w + speed < full.width()) {
            r = QRect(current.x() - speed, current.y(), w + speed, h);
        } else {
            r = QRect(rightOf(workArea) - margins.startX - full.width(), current.y(), full.width(), h);
            step.finished = true;
        }
        break;
    case EdgeBottom:
        if (h + speed < full.height()) {
            r = QRect(current.x(), current.y() - speed, w, h + speed);
        } else {
            r = QRect(current.x(), bottomOf(workArea) - margins.startY - full.height() - startOffset, w,
                      full.height());
            step.finished = true;
        }
        break;
    default:
        break;
    }
    return step;
}

PopUpLayout::Step PopUpLayout::slideOut(int edge, const QRect &current, int speed)
{
    Step step{current, false};
    QRect &r = step.geometry;
    const int w = current.width();
    const int h = current.height();
    switch (edge) {
    case EdgeLeft:
        if (w - speed > 0)
            r.setWidth(w - speed);
        else
            step.finished = true;
        break;
    case EdgeTop:
        if (h - speed > 0)
            r.setHeight(h - speed);
        else
            step.finished = true;
        break;
    case EdgeRight:
        if (w - speed > 0)
            r = QRect(current.x() + speed, current.y(), w - speed, h);
        else
            step.finished = true;
        break;
    case EdgeBottom:
        if (h - speed > 0)
            r = QRect(current.x(), current.y() + speed, w, h - speed);
        else
            step.finished = true;
        break;
    default:
        break;
    }
    return step;
}

int PopUpLayout::mulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = c < 0 ? -std::int64_t(c) : std::int64_t(c);
    std::int64_t quotient = (magnitude + divisor / 2) / divisor;
    if ((product < 0) != (c < 0))
        quotient = -quotient;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min())
        return -1;
    return int(quotient);
}

QColor PopUpLayout::blendColor(const QColor &start, const QColor &end, int i, int n)
{
    // A gradient over no distance is all start colour; mulDiv would answer -1 for it and
    // shift every channel by one.
    if (n == 0)
        return start.toRgb();
    const auto channel = [i, n](int from, int to) { return (from + mulDiv(i, to - from, n)) & 0xFF; };
    return QColor(channel(start.red(), end.red()), channel(start.green(), end.green()),
                  channel(start.blue(), end.blue()));
}

QPoint PopUpLayout::centred(const QSize &panel, const QSize &label)
{
    return QPoint(halfRoundedToEven(panel.width() - label.width()),
                  halfRoundedToEven(panel.height() - label.height()));
}

int PopUpLayout::halfRoundedToEven(int value)
{
    const int floorHalf = value >> 1; // arithmetic shift: rounds down for negative values too
    if ((value & 1) == 0)
        return floorHalf;
    // value / 2 lies halfway between floorHalf and floorHalf + 1: take the even one.
    return (floorHalf & 1) == 0 ? floorHalf : floorHalf + 1;
}
