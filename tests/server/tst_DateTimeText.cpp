// The local times the store compares with: "yyyy-MM-dd hh:mm:ss.fffffff" for now and a while
// ago, and the midnights that start today and tomorrow.
#include "store/DateTimeText.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTest>

class tst_DateTimeText : public QObject
{
    Q_OBJECT

private slots:
    void secondsAgo_data();
    void secondsAgo();
    void midnight_data();
    void midnight();
};

namespace {

QDateTime localOf(const std::string &text)
{
    QString written = QString::fromStdString(text);
    static const QRegularExpression form(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{7}$)");
    if (!form.match(written).hasMatch())
        return {};
    // Qt reads milliseconds at most: the last four digits of the fraction are dropped.
    return QDateTime::fromString(written.left(23), "yyyy-MM-dd hh:mm:ss.zzz");
}

} // namespace

void tst_DateTimeText::secondsAgo_data()
{
    QTest::addColumn<int>("seconds");
    QTest::newRow("now") << 0;
    QTest::newRow("a minute") << 60;
    QTest::newRow("a day and a bit") << 90061;
}

void tst_DateTimeText::secondsAgo()
{
    QFETCH(int, seconds);
    QDateTime before = QDateTime::currentDateTime().addSecs(-seconds);
    QDateTime written = localOf(DateTimeText::secondsAgo(seconds));
    QDateTime after = QDateTime::currentDateTime().addSecs(-seconds);
    QVERIFY2(written.isValid(), DateTimeText::secondsAgo(seconds).c_str());
    // The text is cut to milliseconds, so it may read up to one millisecond early.
    QVERIFY(written >= before.addMSecs(-1));
    QVERIFY(written <= after);
    // Asked twice within a second, the text still moves with the clock.
    std::string first = DateTimeText::now();
    std::string second = DateTimeText::now();
    QVERIFY2(first < second, (first + " then " + second).c_str());
}

void tst_DateTimeText::midnight_data()
{
    QTest::addColumn<int>("days");
    QTest::newRow("today") << 0;
    QTest::newRow("tomorrow") << 1;
    QTest::newRow("yesterday") << -1;
}

void tst_DateTimeText::midnight()
{
    QFETCH(int, days);
    // Asked twice, and after another day's midnight: each answer is its own day's.
    for (int round = 0; round < 2; ++round) {
        QDate today = QDate::currentDate();
        std::string written = DateTimeText::midnight(days);
        DateTimeText::midnight(days + 7);
        if (QDate::currentDate() != today)
            QSKIP("the day changed while asking");
        QCOMPARE(QString::fromStdString(written), today.addDays(days).toString("yyyy-MM-dd") + " 00:00:00");
    }
}

QTEST_APPLESS_MAIN(tst_DateTimeText)
#include "tst_DateTimeText.moc"
