// The toast texts: caption and value per line, lines joined by carriage returns, and the time
// of a result row as a toast shows it.
#include "AlertToastTexts.h"

#include <QTest>

class tst_AlertToastTexts : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void displayTime_data();
    void displayTime();
};

void tst_AlertToastTexts::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    using namespace AlertToastTexts;
    QTest::newRow("stock alert") << stockAlert(u"2024-01-02 09:30:00"_qs, u"600519"_qs, u"买入"_qs)
                                 << u"弹出时间：2024-01-02 09:30:00\r股票代码：600519\r操作方式：买入"_qs;
    QTest::newRow("stock alert, empty list")
        << stockAlert({}, {}, {}) << u"弹出时间：\r股票代码：\r操作方式："_qs;
    QTest::newRow("live news") << liveNews(u"2024-01-02 10:00:00"_qs, u"政策"_qs, u"降准"_qs)
                               << u"弹出时间：2024-01-02 10:00:00\r资讯类型：政策\r资讯内容：降准"_qs;
    QTest::newRow("insider news")
        << insiderNews(u"2024-01-02 00:00:01"_qs, u"内参：银行股"_qs)
        << u"【私募内参新消息】\r弹出时间：2024-01-02 00:00:01\r内参标题：内参：银行股"_qs;
    QTest::newRow("secret news") << secretNews(u"t"_qs, u"绝密"_qs)
                                 << u"【私募绝密新消息】\r弹出时间：t\r私募绝密标题：绝密"_qs;
    // A value holding line breaks or markup is placed as it is: the toast shows plain text.
    QTest::newRow("value with markup") << liveNews(u"t"_qs, u"<b>x</b>"_qs, u"a\rb"_qs)
                                       << u"弹出时间：t\r资讯类型：<b>x</b>\r资讯内容：a\rb"_qs;
}

void tst_AlertToastTexts::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void tst_AlertToastTexts::displayTime_data()
{
    QTest::addColumn<QString>("nowtime");
    QTest::addColumn<QString>("shown");

    QTest::newRow("XML date-time") << u"2024-01-02T09:30:00+08:00"_qs << u"2024-01-02 09:30:00"_qs;
    QTest::newRow("with fraction") << u"2024-01-02T09:30:00.1234567+08:00"_qs << u"2024-01-02 09:30:00"_qs;
    QTest::newRow("blanks around") << u"  2024-01-02T09:30:00  "_qs << u"2024-01-02 09:30:00"_qs;
    QTest::newRow("empty") << QString() << QString();
}

void tst_AlertToastTexts::displayTime()
{
    QFETCH(QString, nowtime);
    QFETCH(QString, shown);
    QCOMPARE(AlertToastTexts::displayTime(nowtime), shown);
}

QTEST_GUILESS_MAIN(tst_AlertToastTexts)
#include "tst_AlertToastTexts.moc"
