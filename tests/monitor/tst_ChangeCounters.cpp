#include "ChangeCounters.h"
#include "UnitGlouble.h"

#include <QTest>

#include <stdexcept>

class tst_ChangeCounters : public QObject
{
    Q_OBJECT

private slots:
    void init() { UnitGlouble = GlobalState{}; }

    void split_data();
    void split();
    void storeBuildsTwelveLines();
    void titleWithBlankShiftsLaterItems();
    void missingItemKeepsLinesBeforeIt();
    void lookup_data();
    void lookup();
};

void tst_ChangeCounters::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("fourteen from twelve fields")
        << QStringLiteral("1,2,3,4,2009-05-06 10:20:30,A,5,6,2009-05-06 11:00:00,B,7,8")
        << QStringList{"1", "2", "3",          "4",        "2009-05-06", "10:20:30", "A",
                       "5", "6", "2009-05-06", "11:00:00", "B",          "7",        "8"};
    QTest::newRow("quoted title keeps its blank and comma")
        << QStringLiteral("1,\"内参 标题, 二\",2") << QStringList{"1", "内参 标题, 二", "2"};
    QTest::newRow("doubled quote inside quotes")
        << QStringLiteral("\"say \"\"hi\"\"\",x") << QStringList{"say \"hi\"", "x"};
    QTest::newRow("unquoted title splits at the blank")
        << QStringLiteral("1,内参 标题,2") << QStringList{"1", "内参", "标题", "2"};
    QTest::newRow("two commas give an empty item") << QStringLiteral("1,,2") << QStringList{"1", "", "2"};
    QTest::newRow("final comma gives a final empty item")
        << QStringLiteral("1,2,") << QStringList{"1", "2", ""};
    QTest::newRow("blanks around commas")
        << QStringLiteral("  1 ,  2\t,\r\n3  ") << QStringList{"1", "2", "3"};
    QTest::newRow("blank before a comma then comma at the end")
        << QStringLiteral("1 ,") << QStringList{"1", ""};
    QTest::newRow("empty text") << QString() << QStringList{};
    QTest::newRow("blanks only") << QStringLiteral(" \t ") << QStringList{};
    QTest::newRow("unterminated quote runs to the end")
        << QStringLiteral("\"open, still") << QStringList{"open, still"};
}

void tst_ChangeCounters::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QCOMPARE(ChangeCounters::splitDelimitedText(text), items);
}

void tst_ChangeCounters::storeBuildsTwelveLines()
{
    ChangeCounters::store(QStringLiteral("1,2,3,4,2009-05-06 10:20:30,A,5,6,2009-05-06 11:00:00,B,7,8"));
    QCOMPARE(UnitGlouble.ChangeCounters,
             (QStringList{"gptjadd=1", "gptjsx=2", "smncadd=3", "smncsx=4", "smncaddsj=2009-05-06 10:20:30",
                          "smncaddbt=A", "smjmadd=5", "smjmsx=6", "smjmaddsj=2009-05-06 11:00:00",
                          "smjmaddbt=B", "spzxadd=7", "spzxsx=8"}));
    QCOMPARE(ChangeCounters::counter(QStringLiteral("spzxsx")), 8);
}

// A blank in an unquoted title moves every later item one place: the item read as smjmadd is
// the rest of the title, which is no integer.
void tst_ChangeCounters::titleWithBlankShiftsLaterItems()
{
    ChangeCounters::store(
        QStringLiteral("1,2,3,4,2009-05-06 10:20:30,内参 标题,5,6,2009-05-06 11:00:00,B,7,8"));
    QCOMPARE(ChangeCounters::value(QStringLiteral("smncaddbt")), QStringLiteral("内参"));
    QCOMPARE(ChangeCounters::value(QStringLiteral("smjmadd")), QStringLiteral("标题"));
    QCOMPARE(ChangeCounters::counter(QStringLiteral("smncadd")), 3);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, ChangeCounters::counter(QStringLiteral("smjmadd")));
}

void tst_ChangeCounters::missingItemKeepsLinesBeforeIt()
{
    UnitGlouble.ChangeCounters = QStringList{QStringLiteral("old=1")};
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, ChangeCounters::store(QStringLiteral(
                                                     "1,2,3,4,2009-05-06 10:20:30,A,5,6,2009-05-06 "
                                                     "11:00:00,B,7")));
    QCOMPARE(UnitGlouble.ChangeCounters.size(), 11);
    QCOMPARE(UnitGlouble.ChangeCounters.last(), QStringLiteral("spzxadd=7"));
    QVERIFY(ChangeCounters::value(QStringLiteral("spzxsx")).isEmpty());
}

void tst_ChangeCounters::lookup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("first of two lines") << QStringLiteral("a") << QStringLiteral("1");
    QTest::newRow("text after the first equals sign") << QStringLiteral("b") << QStringLiteral("x=y");
    QTest::newRow("missing name") << QStringLiteral("c") << QString();
    QTest::newRow("prefix is no match") << QStringLiteral("bb") << QString();
}

void tst_ChangeCounters::lookup()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    UnitGlouble.ChangeCounters = QStringList{"a=1", "a=2", "b=x=y", "bbb=3"};
    QCOMPARE(ChangeCounters::value(name), value);
}

QTEST_GUILESS_MAIN(tst_ChangeCounters)
#include "tst_ChangeCounters.moc"
