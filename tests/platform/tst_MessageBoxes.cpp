#include "DefaultErrorReport.h"
#include "MessageBoxes.h"
#include "OpenMessageBox.h"
#include "OutsideText.h"
#include "TransportFailure.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

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

    void applicationBoxCentredOnItsOwner_data();
    void applicationBoxCentredOnItsOwner();
    void captionShownAsWritten();
    void failureDetailBehindTheDetailsButton();
    void boxNotWaitedForGoesWhenClosed();

private:
    struct Shown
    {
        QString labelText;
        Qt::TextFormat format = Qt::AutoText;
        QRect geometry;
        bool buttonVisible = false;
        QRect buttonGeometry;
        QString detailedText;
        QString windowSystemTitle; // the title the X server holds, as the desktop shows it
    };
    // Shows a system box with the text and reads what the box shows before closing it.
    static Shown showSystemBox(const QString &text);
    // Runs `show` (which opens a modal box and waits for it) and reads the box before closing it.
    static Shown showBox(const std::function<void()> &show);
};

tst_MessageBoxes::Shown tst_MessageBoxes::showSystemBox(const QString &text)
{
    return showBox(
        [&text] { MessageBoxes::system(text, QStringLiteral("错误！"), MessageBoxes::Icon::Error); });
}

namespace {

QString windowSystemTitle(WId window)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(window)});
    if (!xdotool.waitForFinished(5000))
        return QStringLiteral("<xdotool did not answer>");
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

} // namespace

tst_MessageBoxes::Shown tst_MessageBoxes::showBox(const std::function<void()> &show)
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
        shown.detailedText = box->detailedText();
        shown.windowSystemTitle = windowSystemTitle(box->winId());
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
    show();
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

void tst_MessageBoxes::applicationBoxCentredOnItsOwner_data()
{
    QTest::addColumn<QPoint>("ownerPosition");
    QTest::addColumn<bool>("ownerNamed");
    QTest::newRow("top left, named") << QPoint(0, 0) << true;
    QTest::newRow("bottom right, named") << QPoint(600, 400) << true;
    // A box that comes while the user works elsewhere (no active window) belongs to the
    // program's window all the same.
    QTest::newRow("bottom right, not named") << QPoint(600, 400) << false;
}

void tst_MessageBoxes::applicationBoxCentredOnItsOwner()
{
    QFETCH(QPoint, ownerPosition);
    QFETCH(bool, ownerNamed);
    QWidget owner;
    owner.resize(500, 300);
    owner.move(ownerPosition);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    if (!ownerNamed) {
        QWidget elsewhere; // stands for another program's window: it takes the activation
        elsewhere.show();
        elsewhere.activateWindow();
        QTRY_VERIFY(QApplication::activeWindow() == &elsewhere);
        elsewhere.hide();
        QTRY_VERIFY(QApplication::activeWindow() != &owner);
    }
    const Shown shown = showBox([&] {
        MessageBoxes::application(QStringLiteral("是否关闭本系统？"), QStringLiteral("提示"),
                                  MessageBoxes::Icon::Information, MessageBoxes::Buttons::Ok,
                                  ownerNamed ? &owner : nullptr);
    });
    const QPoint offset = shown.geometry.center() - owner.frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 4,
             qPrintable(QStringLiteral("box centre off by %1,%2").arg(offset.x()).arg(offset.y())));
}

void tst_MessageBoxes::captionShownAsWritten()
{
    const Shown shown = showBox([] {
        MessageBoxes::application(QStringLiteral("您的用户在其它地方登录或被迫下线，如有疑问请联系管理员！"),
                                  QStringLiteral("系统错误！"), MessageBoxes::Icon::Error);
    });
    QCOMPARE(shown.windowSystemTitle, QStringLiteral("系统错误！"));
}

// The default report of a failure on the way to the service: the sentence in the box, the
// technical words behind the details button, and no "." added to a Chinese sentence.
void tst_MessageBoxes::failureDetailBehindTheDetailsButton()
{
    const TransportFailure failure(
        TransportFailure::Kind::CannotConnect, QStringLiteral("127.0.0.1:8765"),
        QStringLiteral(
            "Failed to connect to 127.0.0.1 port 8765 - URL:http://127.0.0.1:8765/WebService.asmx"));
    const Shown shown = showBox([&] { DefaultErrorReport::show(QString::fromUtf8(failure.what())); });
    QCOMPARE(shown.labelText, TransportFailure::sentence(failure.kind(), failure.address()));
    QCOMPARE(shown.detailedText, failure.detail());
    // Other errors show their text as the default report always did.
    const Shown plain =
        showBox([] { DefaultErrorReport::show(QStringLiteral("Server was unable to process request")); });
    QCOMPARE(plain.labelText, QStringLiteral("Server was unable to process request."));
    QVERIFY(plain.detailedText.isEmpty());
}

void tst_MessageBoxes::boxNotWaitedForGoesWhenClosed()
{
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    MessageBoxes::Request request;
    request.owner = &owner;
    request.text = QStringLiteral("无法连接到服务器 127.0.0.1:8765，请检查网络连接，或稍后再试。");
    request.caption = QStringLiteral("智能股票预警系统");
    request.icon = MessageBoxes::Icon::Error;
    QPointer<OpenMessageBox> opened = MessageBoxes::openWithoutWaiting(request);
    QVERIFY(opened);
    QSignalSpy closed(opened.data(), &OpenMessageBox::closed);
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = owner.findChild<QMessageBox *>()) && box->isVisible());
    QCOMPARE(box->text(), request.text);
    QCOMPARE(MessageBoxes::openBoxes(), QList<OpenMessageBox *>{opened.data()});

    opened->close();
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(!owner.findChild<QMessageBox *>());
    QTRY_VERIFY(!opened);
    QVERIFY(MessageBoxes::openBoxes().isEmpty());

    // Answered by the user instead: the handle learns of it.
    opened = MessageBoxes::openWithoutWaiting(request);
    QSignalSpy answered(opened.data(), &OpenMessageBox::closed);
    QTRY_VERIFY((box = owner.findChild<QMessageBox *>()) && box->isVisible());
    box->button(QMessageBox::Ok)->click();
    QCOMPARE(answered.count(), 1);
    QTRY_VERIFY(!opened);
}

QTEST_MAIN(tst_MessageBoxes)
#include "tst_MessageBoxes.moc"
