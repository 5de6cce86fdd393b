// What the operator's commands print of a stored or given text: controls, reordering marks
// and bytes that are no UTF-8 as visible escapes, everything else as it is.
#include "cli/TerminalText.h"

#include <QTest>

class tst_TerminalText : public QObject
{
    Q_OBJECT

private slots:
    void shown_data();
    void shown();
};

void tst_TerminalText::shown_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << QByteArray("vip 2030-01-31") << QByteArray("vip 2030-01-31");
    QTest::newRow("Chinese and an emoji")
        << QByteArray("招商银行 \xF0\x9F\x93\x88") << QByteArray("招商银行 \xF0\x9F\x93\x88");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("a forged line") << QByteArray("zhang\n4\tvip\t1") << QByteArray("zhang\\n4\\tvip\\t1");
    QTest::newRow("carriage return") << QByteArray("a\rb") << QByteArray("a\\rb");
    QTest::newRow("terminal escape") << QByteArray("\x1b[2J\x1b]0;title\x07")
                                     << QByteArray("\\x1b[2J\\x1b]0;title\\x07");
    QTest::newRow("NUL and DEL") << QByteArray("a\0b\x7f", 4) << QByteArray("a\\x00b\\x7f");
    QTest::newRow("a backslash reads one way") << QByteArray("a\\nb\\") << QByteArray("a\\\\nb\\\\");
    QTest::newRow("C1 control (CSI)") << QByteArray("a\xC2\x9B"
                                                    "31m")
                                      << QByteArray("a\\u009b31m");
    QTest::newRow("no-break space stays") << QByteArray("a\xC2\xA0"
                                                        "b")
                                          << QByteArray("a\xC2\xA0"
                                                        "b");
    QTest::newRow("right-to-left override") << QByteArray("txt.\xE2\x80\xAE"
                                                          "exe")
                                            << QByteArray("txt.\\u202eexe");
    QTest::newRow("first strong isolate") << QByteArray("\xE2\x81\xA8"
                                                        "x")
                                          << QByteArray("\\u2068x");
    QTest::newRow("a lone byte") << QByteArray("a\xFF"
                                               "b")
                                 << QByteArray("a\\xffb");
    QTest::newRow("a continuation byte alone") << QByteArray("\x80"
                                                             "a")
                                               << QByteArray("\\x80a");
    QTest::newRow("cut off at the end") << QByteArray("股\xE7\xA5") << QByteArray("股\\xe7\\xa5");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QByteArray("\\xc0\\xaf");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("\\xed\\xa0\\x80");
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QByteArray("\\xf4\\x90\\x80\\x80");
    QTest::newRow("a bad byte before a good character") << QByteArray("\xE4\xB8"
                                                                      "\xE4\xB8\xAD")
                                                        << QByteArray("\\xe4\\xb8中");
}

void tst_TerminalText::shown()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    const std::string shown = TerminalText::shown(std::string(text.constData(), size_t(text.size())));
    QCOMPARE(QByteArray::fromStdString(shown), expected);
}

QTEST_GUILESS_MAIN(tst_TerminalText)
#include "tst_TerminalText.moc"
