#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>
#include <set>

// Where toasts go and how they move, without any widget: the taskbar edge, the room test, the
// base position and the cascade of stacked toasts, the slide steps, the gradient colours and the
// centring of the body text. One instance keeps the stack bookkeeping of one notifier: which
// places of the stack are taken, so that a new toast takes the lowest free one.
//
// Rectangles follow the desktop convention of the taskbar queries: "right" and "bottom" are
// x + width and y + height, one past the last pixel.
class PopUpLayout
{
public:
    // Taskbar edge codes.
    enum Edge { EdgeUndetermined = -1, EdgeLeft = 0, EdgeTop = 1, EdgeRight = 2, EdgeBottom = 3 };

    // Distances that place a toast on the work area.
    struct Margins
    {
        int startX = 16; // from the work area's side edge
        int startY = 2;  // from its top or bottom edge
        int marge = 2;   // between stacked toasts
    };

    // One animation tick: the window's new geometry, and whether the slide has ended (the toast
    // reached its full size, or shrank away and is to be closed).
    struct Step
    {
        QRect geometry;
        bool finished = false;
    };

    // The edge a taskbar rectangle (relative to the screen's top-left corner) lies on; nullopt
    // means the taskbar could not be queried.
    static int taskbarEdge(const std::optional<QRect> &taskbar);

    // Stack bookkeeping.
    int popupCount() const { return m_popupCount; }
    int cascadeOffset() const { return m_cascadeOffset; }
    int lastTaskbarEdge() const { return m_lastTaskbarEdge; }

    // The taskbar moved to another edge: the toasts counted so far no longer form a stack.
    void taskbarEdgeChanged(int edge);

    // Counts a new toast in at the lowest free place of the stack, unless no free place has
    // room for it (then nothing changes). The first toast of an empty stack always comes in.
    bool admit(const QRect &workArea, const QSize &toastSize, const Margins &margins);

    // Top-left corner for the toast just admitted, placed over the taskbar edge, and the cascade
    // offset it was placed with (its StartOffset). A cascading toast takes its place in the
    // stack until it is released; cascadeOffset() then tells the next free place.
    QPoint place(int edge, const QRect &workArea, const QSize &toastSize, const Margins &margins,
                 bool cascade, int *startOffset);

    // A counted toast placed with this start offset was freed: its place is free again.
    void release(int startOffset);

    // Whether one more toast fits on the stack (only asked while toasts are counted open).
    static bool hasRoom(int edge, int cascadeOffset, const QRect &workArea, const QSize &toastSize,
                        const Margins &margins);

    // The toast collapsed to a one-pixel strip on its taskbar side, ready to slide in.
    static QRect collapsed(int edge, const QRect &full);

    // One slide-in tick. The final position is recomputed from the work area read anew.
    static Step slideIn(int edge, const QRect &current, const QSize &full, int speed, const QRect &workArea,
                        const Margins &margins, int startOffset);

    // One slide-out tick; finished means the toast has shrunk away and closes.
    static Step slideOut(int edge, const QRect &current, int speed);

    // a * b / c rounded to the nearest integer, halves away from zero, with a 64-bit product;
    // -1 when c is 0 or the result does not fit in 32 bits.
    static int mulDiv(int a, int b, int c);

    // Colour of row or column i of n in a gradient from start to end: i = 0 gives start,
    // i = n gives end.
    static QColor blendColor(const QColor &start, const QColor &end, int i, int n);

    // Top-left corner that centres a label in a panel, halves rounded to the even neighbour.
    static QPoint centred(const QSize &panel, const QSize &label);

    // value / 2 rounded to the nearest integer, halves to the even neighbour.
    static int halfRoundedToEven(int value);

private:
    int lowestFreeOffset(int step) const;

    std::multiset<int> m_takenOffsets; // start offsets of the cascading toasts counted open
    int m_popupCount = 0;
    int m_cascadeOffset = 0;
    int m_lastTaskbarEdge = EdgeLeft;
};
