#include "GraphicsChoice.h"

#include <QMap>
#include <QTest>

// The drawing set up before the application starts, for the environments a user may give.
class tst_GraphicsChoice : public QObject
{
    Q_OBJECT

private slots:
    void variablesFor_data();
    void variablesFor();
};

using Environment = QMap<QByteArray, QByteArray>;
using Variables = GraphicsChoice::Variables;
Q_DECLARE_METATYPE(Environment)

void tst_GraphicsChoice::variablesFor_data()
{
    QTest::addColumn<Environment>("environment");
    QTest::addColumn<Variables>("variables");

    QTest::newRow("nothing chosen") << Environment{{"DISPLAY", ":0"}}
                                    << Variables{{"QT_XCB_GL_INTEGRATION", "none"}, {"QT_QUICK_BACKEND", "software"}};
    QTest::newRow("the user's OpenGL integration wins")
        << Environment{{"QT_XCB_GL_INTEGRATION", "xcb_glx"}} << Variables{};
    QTest::newRow("the user's scene graph backend is kept")
        << Environment{{"QT_QUICK_BACKEND", "software"}} << Variables{{"QT_XCB_GL_INTEGRATION", "none"}};
    QTest::newRow("an empty variable is no choice")
        << Environment{{"QT_XCB_GL_INTEGRATION", ""}}
        << Variables{{"QT_XCB_GL_INTEGRATION", "none"}, {"QT_QUICK_BACKEND", "software"}};
}

void tst_GraphicsChoice::variablesFor()
{
    QFETCH(Environment, environment);
    QFETCH(Variables, variables);
    QCOMPARE(GraphicsChoice::variablesFor([&](const char *name) { return environment.value(name); }), variables);
}

QTEST_GUILESS_MAIN(tst_GraphicsChoice)
#include "tst_GraphicsChoice.moc"
