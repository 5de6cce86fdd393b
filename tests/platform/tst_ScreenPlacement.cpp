#include "ScreenPlacement.h"

#include <QTest>

// The borderless main window (1009 x 677) on screens of several sizes and places.
class tst_ScreenPlacement : public QObject
{
    Q_OBJECT

private slots:
    void keptOnScreen_data();
    void keptOnScreen();
    void centredOnScreen_data();
    void centredOnScreen();
    void headerReachable_data();
    void headerReachable();
};

void tst_ScreenPlacement::keptOnScreen_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("inside stays") << QRect(455, 181, 1009, 677) << QRect(0, 0, 1920, 1040)
                                  << QPoint(455, 181);
    QTest::newRow("off the left and the top")
        << QRect(-300, -50, 1009, 677) << QRect(0, 0, 1920, 1040) << QPoint(0, 0);
    QTest::newRow("off the right and the bottom")
        << QRect(1500, 900, 1009, 677) << QRect(0, 0, 1920, 1040) << QPoint(911, 363);
    // 1366 x 768 at 1.5: 911 x 512 device-independent pixels less a bottom panel.
    QTest::newRow("larger than a scaled screen")
        << QRect(-74, -138, 1009, 677) << QRect(0, 0, 911, 480) << QPoint(0, 0);
    QTest::newRow("panel at the top, second monitor")
        << QRect(1800, 0, 1009, 677) << QRect(1920, 32, 1280, 992) << QPoint(1920, 32);
}

void tst_ScreenPlacement::keptOnScreen()
{
    QFETCH(QRect, window);
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);
    QCOMPARE(ScreenPlacement::keptOnScreen(window, available), expected);
}

void tst_ScreenPlacement::centredOnScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("room enough") << QRect(0, 0, 1920, 1040) << QPoint(455, 181);
    QTest::newRow("1366 x 768 at 1.5") << QRect(0, 0, 911, 480) << QPoint(0, 0);
    QTest::newRow("wide enough, too low") << QRect(0, 0, 1366, 600) << QPoint(178, 0);
}

void tst_ScreenPlacement::centredOnScreen()
{
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);
    QCOMPARE(ScreenPlacement::centredOnScreen(QRect(0, 0, 1009, 677), available), expected);
}

void tst_ScreenPlacement::headerReachable_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<bool>("reachable");
    QTest::newRow("on screen") << QRect(100, 100, 1009, 677) << true;
    QTest::newRow("partly off the right") << QRect(1500, 100, 1009, 677) << true;
    QTest::newRow("header above the screen") << QRect(100, -138, 1009, 677) << false;
    QTest::newRow("all but a sliver off the left") << QRect(-1000, 100, 1009, 677) << false;
}

void tst_ScreenPlacement::headerReachable()
{
    QFETCH(QRect, window);
    QFETCH(bool, reachable);
    QCOMPARE(ScreenPlacement::headerReachable(window, QRect(0, 0, 1920, 1040), 99), reachable);
}

QTEST_GUILESS_MAIN(tst_ScreenPlacement)
#include "tst_ScreenPlacement.moc"
