#include "PopUpLayout.h"

#include <QTest>

#include <optional>

using Edge = PopUpLayout::Edge;

namespace {

// The main window's toast on a 1920 x 1080 screen with a 40-pixel taskbar at the bottom.
const QRect BottomWorkArea(0, 0, 1920, 1040);
const QSize ToastSize(200, 120);

// first, first + step, ... up to and including last.
QList<int> runOf(int first, int step, int last)
{
    QList<int> values;
    for (int v = first; step > 0 ? v <= last : v >= last; v += step)
        values.append(v);
    return values;
}

int extentOf(int edge, const QRect &r)
{
    return edge == PopUpLayout::EdgeLeft || edge == PopUpLayout::EdgeRight ? r.width() : r.height();
}

} // namespace

class tst_PopUpLayout : public QObject
{
    Q_OBJECT

private slots:
    void taskbarEdge_data();
    void taskbarEdge();
    void stack_data();
    void stack();
    void freedPlacesAreTakenAgain_data();
    void freedPlacesAreTakenAgain();
    void taskbarMovedResetsTheStack();
    void slideIn_data();
    void slideIn();
    void slideOut_data();
    void slideOut();
    void mulDiv_data();
    void mulDiv();
    void blendColor_data();
    void blendColor();
    void centred_data();
    void centred();
};

void tst_PopUpLayout::taskbarEdge_data()
{
    QTest::addColumn<bool>("queried");
    QTest::addColumn<QRect>("taskbar");
    QTest::addColumn<int>("edge");

    QTest::newRow("query failed") << false << QRect() << int(PopUpLayout::EdgeUndetermined);
    QTest::newRow("left") << true << QRect(0, 0, 60, 1080) << int(PopUpLayout::EdgeLeft);
    QTest::newRow("top") << true << QRect(0, 0, 1920, 40) << int(PopUpLayout::EdgeTop);
    QTest::newRow("right") << true << QRect(1860, 0, 60, 1080) << int(PopUpLayout::EdgeRight);
    QTest::newRow("bottom") << true << QRect(0, 1040, 1920, 40) << int(PopUpLayout::EdgeBottom);
    QTest::newRow("empty band along the bottom")
        << true << QRect(0, 1080, 1920, 0) << int(PopUpLayout::EdgeBottom);
    QTest::newRow("square in the corner falls to right")
        << true << QRect(0, 0, 40, 40) << int(PopUpLayout::EdgeRight);
}

void tst_PopUpLayout::taskbarEdge()
{
    QFETCH(bool, queried);
    QFETCH(QRect, taskbar);
    QFETCH(int, edge);
    QCOMPARE(PopUpLayout::taskbarEdge(queried ? std::optional<QRect>(taskbar) : std::nullopt), edge);
}

void tst_PopUpLayout::stack_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<bool>("cascade");
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("step");
    QTest::addColumn<int>("admitted"); // -1: never refused

    // Tops 918, 796, 674, 552, 430, 308, 186, 64; the ninth is refused.
    QTest::newRow("bottom") << int(PopUpLayout::EdgeBottom) << BottomWorkArea << true << QPoint(1704, 918)
                            << QPoint(0, -122) << 8;
    QTest::newRow("top") << int(PopUpLayout::EdgeTop) << QRect(0, 40, 1920, 1040) << true << QPoint(1704, 42)
                         << QPoint(0, 122) << 8;
    // Over a left or right taskbar the stack still grows upwards, so the room is the height.
    QTest::newRow("left") << int(PopUpLayout::EdgeLeft) << QRect(60, 0, 1860, 1080) << true << QPoint(76, 958)
                          << QPoint(0, -122) << 8;
    QTest::newRow("right") << int(PopUpLayout::EdgeRight) << QRect(0, 0, 1860, 1080) << true
                           << QPoint(1644, 958) << QPoint(0, -122) << 8;
    QTest::newRow("bottom without cascade")
        << int(PopUpLayout::EdgeBottom) << BottomWorkArea << false << QPoint(1704, 918) << QPoint(0, 0) << -1;
    QTest::newRow("undetermined") << int(PopUpLayout::EdgeUndetermined) << BottomWorkArea << true
                                  << QPoint(0, 0) << QPoint(0, 0) << -1;
}

void tst_PopUpLayout::stack()
{
    QFETCH(int, edge);
    QFETCH(QRect, workArea);
    QFETCH(bool, cascade);
    QFETCH(QPoint, first);
    QFETCH(QPoint, step);
    QFETCH(int, admitted);

    const PopUpLayout::Margins margins;
    PopUpLayout layout;
    layout.taskbarEdgeChanged(edge);
    const int attempts = admitted < 0 ? 30 : admitted + 1;
    for (int i = 0; i < attempts; ++i) {
        const int offsetBefore = layout.cascadeOffset();
        if (!layout.admit(workArea, ToastSize, margins)) {
            QCOMPARE(i, admitted);
            // A refused toast changes nothing.
            QCOMPARE(layout.popupCount(), admitted);
            QCOMPARE(layout.cascadeOffset(), offsetBefore);
            return;
        }
        QCOMPARE(layout.popupCount(), i + 1);
        int startOffset = -1;
        const QPoint position = layout.place(edge, workArea, ToastSize, margins, cascade, &startOffset);
        QCOMPARE(position, first + i * step);
        QCOMPARE(startOffset, offsetBefore);
        if (edge != PopUpLayout::EdgeUndetermined)
            QVERIFY2(workArea.contains(QRect(position, ToastSize)), qPrintable(QString::number(i)));
    }
    QCOMPARE(admitted, -1);
}

// Each step either shows a toast ("+", expecting the place it takes: 0 the lowest, -1 refused)
// or closes the toast in place n ("-n"). A work area 800 high holds six toasts.
void tst_PopUpLayout::freedPlacesAreTakenAgain_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("places"); // of each "+", in order

    QTest::newRow("one at a time never climbs")
        << QStringList{"+", "-0", "+", "-0", "+", "-0", "+"} << QList<int>{0, 0, 0, 0};
    QTest::newRow("six, the oldest closes, the next takes its place")
        << QStringList{"+", "+", "+", "+", "+", "+", "+", "-0", "+"} << QList<int>{0, 1, 2, 3, 4, 5, -1, 0};
    QTest::newRow("lowest free place first")
        << QStringList{"+", "+", "+", "-1", "-0", "+", "+", "+"} << QList<int>{0, 1, 2, 0, 1, 3};
    QTest::newRow("a gap in the middle is filled before the top")
        << QStringList{"+", "+", "+", "-1", "+", "+"} << QList<int>{0, 1, 2, 1, 3};
    QTest::newRow("closing more than were open frees nothing twice")
        << QStringList{"+", "-0", "-0", "+", "+"} << QList<int>{0, 0, 1};
}

void tst_PopUpLayout::freedPlacesAreTakenAgain()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, places);
    const QRect workArea(0, 0, 1920, 800);
    const PopUpLayout::Margins margins;
    const int step = ToastSize.height() + margins.marge;
    PopUpLayout layout;
    layout.taskbarEdgeChanged(Edge::EdgeBottom);
    QList<int> taken;
    for (const QString &s : steps) {
        if (s.startsWith(QLatin1Char('-'))) {
            layout.release(s.mid(1).toInt() * step);
            continue;
        }
        if (!layout.admit(workArea, ToastSize, margins)) {
            taken.append(-1);
            continue;
        }
        int startOffset = -1;
        const QPoint position =
            layout.place(Edge::EdgeBottom, workArea, ToastSize, margins, true, &startOffset);
        QCOMPARE(position.y(), 800 - margins.startY - ToastSize.height() - startOffset);
        QVERIFY(workArea.contains(QRect(position, ToastSize)));
        taken.append(startOffset / step);
    }
    QCOMPARE(taken, places);
}

void tst_PopUpLayout::taskbarMovedResetsTheStack()
{
    const PopUpLayout::Margins margins;
    PopUpLayout layout;
    QCOMPARE(layout.lastTaskbarEdge(), int(Edge::EdgeLeft));
    layout.taskbarEdgeChanged(Edge::EdgeBottom);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(layout.admit(BottomWorkArea, ToastSize, margins));
        layout.place(Edge::EdgeBottom, BottomWorkArea, ToastSize, margins, true, nullptr);
    }
    QCOMPARE(layout.popupCount(), 2);

    const QRect rightWorkArea(0, 0, 1860, 1080);
    layout.taskbarEdgeChanged(Edge::EdgeRight);
    QCOMPARE(layout.popupCount(), 0);
    QCOMPARE(layout.lastTaskbarEdge(), int(Edge::EdgeRight));
    QVERIFY(layout.admit(rightWorkArea, ToastSize, margins));
    int startOffset = -1;
    QCOMPARE(layout.place(Edge::EdgeRight, rightWorkArea, ToastSize, margins, true, &startOffset),
             QPoint(1644, 958));
    QCOMPARE(startOffset, 0);
    QCOMPARE(layout.popupCount(), 1);
}

void tst_PopUpLayout::slideIn_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<QRect>("full");
    QTest::addColumn<int>("speed");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<int>("startOffset");
    QTest::addColumn<QList<int>>("extents"); // before the first tick, then after each tick

    QTest::newRow("bottom, 120 high at 9") << int(Edge::EdgeBottom) << QRect(1704, 918, 200, 120) << 9
                                           << BottomWorkArea << 0 << (runOf(1, 9, 118) << 120);
    QTest::newRow("bottom, second in the stack") << int(Edge::EdgeBottom) << QRect(1704, 796, 200, 120) << 9
                                                 << BottomWorkArea << 122 << (runOf(1, 9, 118) << 120);
    QTest::newRow("right") << int(Edge::EdgeRight) << QRect(1644, 958, 200, 120) << 9
                           << QRect(0, 0, 1860, 1080) << 0 << (runOf(1, 9, 199) << 200);
    QTest::newRow("left") << int(Edge::EdgeLeft) << QRect(76, 958, 40, 120) << 9 << QRect(60, 0, 1860, 1080)
                          << 0 << QList<int>{1, 10, 19, 28, 37, 40};
    QTest::newRow("top") << int(Edge::EdgeTop) << QRect(1704, 42, 200, 30) << 9 << QRect(0, 40, 1920, 1040)
                         << 0 << QList<int>{1, 10, 19, 28, 30};
    QTest::newRow("speed above the size") << int(Edge::EdgeBottom) << QRect(1704, 1008, 200, 30) << 50
                                          << BottomWorkArea << 0 << QList<int>{1, 30};
}

void tst_PopUpLayout::slideIn()
{
    QFETCH(int, edge);
    QFETCH(QRect, full);
    QFETCH(int, speed);
    QFETCH(QRect, workArea);
    QFETCH(int, startOffset);
    QFETCH(QList<int>, extents);

    const PopUpLayout::Margins margins;
    QRect current = PopUpLayout::collapsed(edge, full);
    // The side facing the taskbar stays put while the toast grows.
    const int anchor = edge == Edge::EdgeRight    ? current.x() + current.width()
                       : edge == Edge::EdgeBottom ? current.y() + current.height()
                                                  : (edge == Edge::EdgeLeft ? current.x() : current.y());
    QList<int> seen{extentOf(edge, current)};
    for (int tick = 1; tick < 100; ++tick) {
        const PopUpLayout::Step step =
            PopUpLayout::slideIn(edge, current, full.size(), speed, workArea, margins, startOffset);
        current = step.geometry;
        seen.append(extentOf(edge, current));
        if (step.finished)
            break;
        const int side = edge == Edge::EdgeRight    ? current.x() + current.width()
                         : edge == Edge::EdgeBottom ? current.y() + current.height()
                                                    : (edge == Edge::EdgeLeft ? current.x() : current.y());
        QCOMPARE(side, anchor);
    }
    QCOMPARE(seen, extents);
    QCOMPARE(current, full);
}

void tst_PopUpLayout::slideOut_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<QRect>("full");
    QTest::addColumn<int>("speed");
    QTest::addColumn<QList<int>>("extents"); // after each tick that keeps the toast

    // 111, 102, ..., 3: the fourteenth tick closes the toast.
    QTest::newRow("bottom") << int(Edge::EdgeBottom) << QRect(1704, 918, 200, 120) << 9 << runOf(111, -9, 3);
    QTest::newRow("right") << int(Edge::EdgeRight) << QRect(1644, 958, 200, 120) << 9 << runOf(191, -9, 2);
    QTest::newRow("left") << int(Edge::EdgeLeft) << QRect(76, 958, 40, 120) << 9 << QList<int>{31, 22, 13, 4};
    QTest::newRow("top") << int(Edge::EdgeTop) << QRect(1704, 42, 200, 30) << 9 << QList<int>{21, 12, 3};
    QTest::newRow("exactly used up") << int(Edge::EdgeBottom) << QRect(0, 0, 200, 18) << 9 << QList<int>{9};
}

void tst_PopUpLayout::slideOut()
{
    QFETCH(int, edge);
    QFETCH(QRect, full);
    QFETCH(int, speed);
    QFETCH(QList<int>, extents);

    QRect current = full;
    QList<int> seen;
    for (int tick = 1; tick < 100; ++tick) {
        const PopUpLayout::Step step = PopUpLayout::slideOut(edge, current, speed);
        if (step.finished) {
            QCOMPARE(step.geometry, current); // closing does not move the window
            break;
        }
        current = step.geometry;
        seen.append(extentOf(edge, current));
        // The toast sinks back towards its taskbar: the far side stays put.
        if (edge == Edge::EdgeBottom)
            QCOMPARE(current.y() + current.height(), full.y() + full.height());
        if (edge == Edge::EdgeRight)
            QCOMPARE(current.x() + current.width(), full.x() + full.width());
        if (edge == Edge::EdgeLeft || edge == Edge::EdgeTop)
            QCOMPARE(current.topLeft(), full.topLeft());
    }
    QCOMPARE(seen, extents);
}

void tst_PopUpLayout::mulDiv_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("result");

    QTest::newRow("exact") << 6 << 10 << 4 << 15;
    QTest::newRow("half up") << 1 << 255 << 2 << 128;
    QTest::newRow("half away from zero, negative factor") << 1 << -255 << 2 << -128;
    QTest::newRow("half away from zero, negative divisor") << 2 << 3 << -4 << -2;
    QTest::newRow("below half") << 1 << 4 << 3 << 1;
    QTest::newRow("64-bit product") << 100000 << 100000 << 100000 << 100000;
    QTest::newRow("divisor zero") << 5 << 7 << 0 << -1;
    QTest::newRow("overflow") << 2147483647 << 2 << 1 << -1;
}

void tst_PopUpLayout::mulDiv()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, result);
    QCOMPARE(PopUpLayout::mulDiv(a, b, c), result);
}

void tst_PopUpLayout::blendColor_data()
{
    QTest::addColumn<QColor>("start");
    QTest::addColumn<QColor>("end");
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("n");
    QTest::addColumn<QColor>("result");

    const QColor red(255, 0, 0);
    const QColor white(255, 255, 255);
    const QColor lightBlue(153, 204, 255);
    QTest::newRow("first row") << lightBlue << white << 0 << 116 << lightBlue;
    QTest::newRow("last row") << lightBlue << white << 116 << 116 << white;
    QTest::newRow("first column") << red << white << 0 << 196 << red;
    QTest::newRow("last column") << red << white << 196 << 196 << white;
    QTest::newRow("middle rounds up") << red << white << 1 << 2 << QColor(255, 128, 128);
    QTest::newRow("middle, falling channel") << white << red << 1 << 2 << QColor(255, 127, 127);
    QTest::newRow("one before the end") << red << white << 195 << 196 << QColor(255, 254, 254);
    QTest::newRow("no distance") << red << white << 0 << 0 << red;
}

void tst_PopUpLayout::blendColor()
{
    QFETCH(QColor, start);
    QFETCH(QColor, end);
    QFETCH(int, i);
    QFETCH(int, n);
    QFETCH(QColor, result);
    QCOMPARE(PopUpLayout::blendColor(start, end, i, n), result);
}

void tst_PopUpLayout::centred_data()
{
    QTest::addColumn<QSize>("panel");
    QTest::addColumn<QSize>("label");
    QTest::addColumn<QPoint>("topLeft");

    QTest::newRow("even differences") << QSize(200, 120) << QSize(184, 40) << QPoint(8, 40);
    QTest::newRow("7.5 and 53.5 go up to even") << QSize(200, 120) << QSize(185, 13) << QPoint(8, 54);
    QTest::newRow("2.5 and 4.5 go down to even") << QSize(200, 120) << QSize(195, 111) << QPoint(2, 4);
    QTest::newRow("label taller than the panel") << QSize(200, 120) << QSize(185, 123) << QPoint(8, -2);
    QTest::newRow("-2.5 goes to -2") << QSize(200, 120) << QSize(185, 125) << QPoint(8, -2);
}

void tst_PopUpLayout::centred()
{
    QFETCH(QSize, panel);
    QFETCH(QSize, label);
    QFETCH(QPoint, topLeft);
    QCOMPARE(PopUpLayout::centred(panel, label), topLeft);
}

QTEST_GUILESS_MAIN(tst_PopUpLayout)
#include "tst_PopUpLayout.moc"
