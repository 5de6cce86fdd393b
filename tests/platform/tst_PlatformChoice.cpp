#include "PlatformChoice.h"

#include <QMap>
#include <QTest>

// The platform asked for before the application starts, for the sessions a desktop may give.
class tst_PlatformChoice : public QObject
{
    Q_OBJECT

private slots:
    void platformFor_data();
    void platformFor();
};

using Environment = QMap<QByteArray, QByteArray>;
Q_DECLARE_METATYPE(Environment)

void tst_PlatformChoice::platformFor_data()
{
    QTest::addColumn<Environment>("environment");
    QTest::addColumn<QByteArray>("platform");

    QTest::newRow("X11 session") << Environment{{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}}
                                 << QByteArray();
    QTest::newRow("Wayland with XWayland")
        << Environment{{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}
        << QByteArray("xcb");
    QTest::newRow("Wayland display without a session type")
        << Environment{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":1"}} << QByteArray("xcb");
    QTest::newRow("Wayland without XWayland")
        << Environment{{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}} << QByteArray();
    QTest::newRow("the user's own choice wins")
        << Environment{{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}
        << QByteArray();
    QTest::newRow("no desktop at all") << Environment{} << QByteArray();
}

void tst_PlatformChoice::platformFor()
{
    QFETCH(Environment, environment);
    QFETCH(QByteArray, platform);
    QCOMPARE(PlatformChoice::platformFor([&](const char *name) { return environment.value(name); }),
             platform);
}

QTEST_GUILESS_MAIN(tst_PlatformChoice)
#include "tst_PlatformChoice.moc"
