#include "DesktopWorkArea.h"
#include "DesktopWorkAreaOverride.h"
#include "PopUpLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

class tst_DesktopWorkArea : public QObject
{
    Q_OBJECT

private slots:
    void reservedBand_data();
    void reservedBand();
    void providerReplacesTheScreen();
    void noScreen();
    void primaryScreenWithoutPanel();
};

void tst_DesktopWorkArea::reservedBand_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QRect>("band"); // relative to the screen's top-left corner
    QTest::addColumn<int>("edge");

    const QRect full(0, 0, 1920, 1080);
    QTest::newRow("bottom panel") << full << QRect(0, 0, 1920, 1040) << QRect(0, 1040, 1920, 40)
                                  << int(PopUpLayout::EdgeBottom);
    QTest::newRow("top panel") << full << QRect(0, 32, 1920, 1048) << QRect(0, 0, 1920, 32)
                               << int(PopUpLayout::EdgeTop);
    QTest::newRow("left dock") << full << QRect(64, 0, 1856, 1080) << QRect(0, 0, 64, 1080)
                               << int(PopUpLayout::EdgeLeft);
    QTest::newRow("right dock") << full << QRect(0, 0, 1860, 1080) << QRect(1860, 0, 60, 1080)
                                << int(PopUpLayout::EdgeRight);
    QTest::newRow("top bar and wider bottom panel")
        << full << QRect(0, 28, 1920, 1004) << QRect(0, 1032, 1920, 48) << int(PopUpLayout::EdgeBottom);
    QTest::newRow("top bar and wider left dock")
        << full << QRect(64, 28, 1856, 1052) << QRect(0, 0, 64, 1080) << int(PopUpLayout::EdgeLeft);
    QTest::newRow("no panel counts as bottom")
        << full << full << QRect(0, 1080, 1920, 0) << int(PopUpLayout::EdgeBottom);
    // A primary screen right of another one: the band is still measured from its own corner.
    QTest::newRow("screen not at the origin, right dock")
        << QRect(1920, 0, 1280, 1024) << QRect(1920, 0, 1220, 1024) << QRect(1220, 0, 60, 1024)
        << int(PopUpLayout::EdgeRight);
    QTest::newRow("screen not at the origin, bottom panel")
        << QRect(-1280, 200, 1280, 1024) << QRect(-1280, 200, 1280, 984) << QRect(0, 984, 1280, 40)
        << int(PopUpLayout::EdgeBottom);
}

void tst_DesktopWorkArea::reservedBand()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, workArea);
    QFETCH(QRect, band);
    QFETCH(int, edge);

    const DesktopWorkAreaOverride area([=] { return DesktopWorkArea::Snapshot{true, screen, workArea}; });
    const std::optional<QRect> taskbar = DesktopWorkArea::taskbarRect();
    QVERIFY(taskbar.has_value());
    QCOMPARE(*taskbar, band);
    QCOMPARE(PopUpLayout::taskbarEdge(taskbar), edge);
    QCOMPARE(DesktopWorkArea::workArea(), workArea);
}

void tst_DesktopWorkArea::providerReplacesTheScreen()
{
    const QRect work(0, 0, 1920, 1040);
    {
        const DesktopWorkAreaOverride area([=] {
            return DesktopWorkArea::Snapshot{true, QRect(0, 0, 1920, 1080), work};
        });
        QCOMPARE(DesktopWorkArea::workArea(), work);
    }
    // The guard gone, the primary screen is the source again.
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QCOMPARE(DesktopWorkArea::workArea(), screen->availableGeometry());
}

void tst_DesktopWorkArea::noScreen()
{
    const DesktopWorkAreaOverride noScreen([] { return DesktopWorkArea::Snapshot{}; });
    QVERIFY(!DesktopWorkArea::taskbarRect().has_value());
    QCOMPARE(PopUpLayout::taskbarEdge(DesktopWorkArea::taskbarRect()), int(PopUpLayout::EdgeUndetermined));
    QVERIFY(DesktopWorkArea::workArea().isEmpty());
}

void tst_DesktopWorkArea::primaryScreenWithoutPanel()
{
    // The offscreen platform reserves nothing: the taskbar counts as being at the bottom.
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    if (screen->availableGeometry() != screen->geometry())
        QSKIP("this platform reserves part of the screen");
    QCOMPARE(PopUpLayout::taskbarEdge(DesktopWorkArea::taskbarRect()), int(PopUpLayout::EdgeBottom));
}

QTEST_MAIN(tst_DesktopWorkArea)
#include "tst_DesktopWorkArea.moc"
