#include "ReminderSchedule.h"

#include <QTest>
#include <QTimeZone>

// Quiet hours over midnight, and the trading sessions seen from desktops in three time zones.
class tst_ReminderSchedule : public QObject
{
    Q_OBJECT

private slots:
    void quietHours_data();
    void quietHours();
    void tradingSession_data();
    void tradingSession();
};

void tst_ReminderSchedule::quietHours_data()
{
    QTest::addColumn<QTime>("from");
    QTest::addColumn<QTime>("to");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("quiet");
    const QTime night(22, 0), morning(7, 30);
    QTest::newRow("over midnight, before") << night << morning << QTime(21, 59) << false;
    QTest::newRow("over midnight, at the start") << night << morning << QTime(22, 0) << true;
    QTest::newRow("over midnight, before midnight") << night << morning << QTime(23, 59, 59) << true;
    QTest::newRow("over midnight, at midnight") << night << morning << QTime(0, 0) << true;
    QTest::newRow("over midnight, small hours") << night << morning << QTime(3, 0) << true;
    QTest::newRow("over midnight, last minute") << night << morning << QTime(7, 29) << true;
    QTest::newRow("over midnight, at the end") << night << morning << QTime(7, 30) << false;
    QTest::newRow("same day, inside") << QTime(12, 0) << QTime(13, 0) << QTime(12, 30) << true;
    QTest::newRow("same day, after") << QTime(12, 0) << QTime(13, 0) << QTime(13, 0) << false;
    QTest::newRow("equal ends, never") << QTime(8, 0) << QTime(8, 0) << QTime(8, 0) << false;
}

void tst_ReminderSchedule::quietHours()
{
    QFETCH(QTime, from);
    QFETCH(QTime, to);
    QFETCH(QTime, time);
    QFETCH(bool, quiet);
    QCOMPARE(ReminderSchedule::inQuietHours(time, from, to), quiet);
}

void tst_ReminderSchedule::tradingSession_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<bool>("inSession");
    const QTimeZone shanghai("Asia/Shanghai");
    const QTimeZone berlin("Europe/Berlin");
    const QTimeZone newYork("America/New_York");
    // Monday 7 December 2026 in Beijing.
    const QDate monday(2026, 12, 7);
    QTest::newRow("Shanghai, opening") << QDateTime(monday, QTime(9, 15), shanghai) << true;
    QTest::newRow("Shanghai, before the opening") << QDateTime(monday, QTime(9, 14), shanghai) << false;
    QTest::newRow("Shanghai, morning close") << QDateTime(monday, QTime(11, 30), shanghai) << true;
    QTest::newRow("Shanghai, lunch") << QDateTime(monday, QTime(12, 0), shanghai) << false;
    QTest::newRow("Shanghai, afternoon") << QDateTime(monday, QTime(13, 0), shanghai) << true;
    QTest::newRow("Shanghai, after the close") << QDateTime(monday, QTime(15, 1), shanghai) << false;
    QTest::newRow("Shanghai, Saturday") << QDateTime(QDate(2026, 12, 12), QTime(10, 0), shanghai) << false;
    // Berlin is seven hours behind in winter: 02:15 there is the opening.
    QTest::newRow("Berlin, opening") << QDateTime(monday, QTime(2, 15), berlin) << true;
    QTest::newRow("Berlin, Beijing lunch") << QDateTime(monday, QTime(5, 0), berlin) << false;
    QTest::newRow("Berlin, afternoon") << QDateTime(monday, QTime(7, 59), berlin) << true;
    QTest::newRow("Berlin, Monday morning after the close")
        << QDateTime(monday, QTime(9, 0), berlin) << false;
    // New York's Sunday evening is Beijing's Monday morning; its Friday night is Beijing's Saturday.
    QTest::newRow("New York, Sunday evening")
        << QDateTime(QDate(2026, 12, 6), QTime(20, 15), newYork) << true;
    QTest::newRow("New York, Friday 02:00") << QDateTime(QDate(2026, 12, 11), QTime(2, 0), newYork) << true;
    QTest::newRow("New York, Friday 02:01") << QDateTime(QDate(2026, 12, 11), QTime(2, 1), newYork) << false;
    QTest::newRow("New York, Friday evening")
        << QDateTime(QDate(2026, 12, 11), QTime(21, 0), newYork) << false;
}

void tst_ReminderSchedule::tradingSession()
{
    QFETCH(QDateTime, moment);
    QFETCH(bool, inSession);
    QVERIFY(moment.isValid());
    QCOMPARE(ReminderSchedule::inTradingSession(moment), inSession);
}

QTEST_GUILESS_MAIN(tst_ReminderSchedule)
#include "tst_ReminderSchedule.moc"
