#include "MessageBoxes.h"
#include "OutsideText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

// The real dialogs, not the recorder: what a user sees of a text from outside.
class tst_MessageBoxes : public QObject
{
    Q_OBJECT

private slots:
    void htmlIsShownAsLiteralCharacters();
    void longTextIsCutToABoxOnTheScreen_data();
    void longTextIsCutToABoxOnTheScreen();
    void cut_data();
    void cut();
    void megabyteInTextView();

private:
    struct Shown
    {
        QString labelText;
        Qt::TextFormat format = Qt::AutoText;
        QRect geometry;
        bool buttonVisible = false;
        QRect buttonGeometry;
    };
    // Shows a system box with the text and reads what the box shows before closing it.
    static Shown showSystemBox(const QString &text);
};

tst_MessageBoxes::Shown tst_MessageBoxes::showSystemBox(const QString &text)
{
    Shown shown;
    bool closed = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || closed)
            return;
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (!label->text().isEmpty()) {
                shown.labelText = label->text();
                shown.format = label->textFormat();
            }
        }
        shown.geometry = box->frameGeometry();
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        shown.buttonVisible = ok && ok->isVisible();
        if (ok)
            shown.buttonGeometry = QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size());
        closed = true;
        box->accept();
    });
    poll.start();
    // A box that never appears would block here: the bound closes any modal window.
    QTimer::singleShot(10000, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    MessageBoxes::system(text, QStringLiteral("错误！"), MessageBoxes::Icon::Error);
    return shown;
}

void tst_MessageBoxes::htmlIsShownAsLiteralCharacters()
{
    const QString fault =
        QStringLiteral("Server was unable to process request. ---> <h1 style=\"color:red\">登录失败</h1>"
                       "<a href=\"http://example.com/\">点此</a><img src=\"file:///etc/hostname\">");
    const Shown shown = showSystemBox(fault);
    QCOMPARE(shown.labelText, fault);
    QCOMPARE(shown.format, Qt::PlainText);
}

void tst_MessageBoxes::longTextIsCutToABoxOnTheScreen_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shownText");
    const QString lines = QStringLiteral("第一行\n").repeated(300 * 1024 / 4);
    QTest::newRow("300 KB of lines") << lines << lines.left(30 * 4 - 1) + QChar(0x2026);
    QTest::newRow("300 KB of words")
        << QStringLiteral("Server was unable to process request. ").repeated(300 * 1024 / 38)
        << QStringLiteral("Server was unable to process request. ").repeated(27).left(1000) + QChar(0x2026);
    QTest::newRow("300 KB without a blank")
        << QString(300 * 1024, QLatin1Char('x')) << QString(1000, QLatin1Char('x')) + QChar(0x2026);
}

void tst_MessageBoxes::longTextIsCutToABoxOnTheScreen()
{
    QFETCH(QString, text);
    QFETCH(QString, shownText);
    const Shown shown = showSystemBox(text);
    QCOMPARE(shown.labelText, shownText);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(shown.geometry), qPrintable(QStringLiteral("box %1x%2 at %3,%4")
                                                             .arg(shown.geometry.width())
                                                             .arg(shown.geometry.height())
                                                             .arg(shown.geometry.x())
                                                             .arg(shown.geometry.y())));
    QVERIFY(shown.buttonVisible);
    QVERIFY(screen.contains(shown.buttonGeometry));
}

void tst_MessageBoxes::cut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("at the limit") << QString(5, u'a') << QString(5, u'a');
    QTest::newRow("one over") << QString(6, u'a') << QString(5, u'a') + QChar(0x2026);
}

void tst_MessageBoxes::cut()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(OutsideText::cut(text, 5), expected);
}

void tst_MessageBoxes::megabyteInTextView()
{
    QPlainTextEdit view;
    const QString text = QString(3 * 1024 * 1024, QLatin1Char('a'));
    OutsideText::showInView(&view, text);
    QCOMPARE(view.toPlainText(), text.left(OutsideText::TextViewLimit) + QChar(0x2026));
    QCOMPARE(view.wordWrapMode(), QTextOption::WrapAnywhere);
    OutsideText::showInView(&view, QStringLiteral("short words wrap at their ends"));
    QCOMPARE(view.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
}

QTEST_MAIN(tst_MessageBoxes)
#include "tst_MessageBoxes.moc"
