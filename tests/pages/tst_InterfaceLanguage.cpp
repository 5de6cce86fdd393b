// The interface in Chinese under a desktop that speaks another language (the test runs under
// LANG=C.UTF-8): Qt's own texts, the calendar and the web engine's own pages.
#include "ClosedHost.h"
#include "InterfaceLanguage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QLocale>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

namespace {

bool hasChinese(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

} // namespace

class tst_InterfaceLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void qtTextsInChinese();
    void calendarInChinese();
    void webEngineErrorPageInChinese();
};

void tst_InterfaceLanguage::initTestCase()
{
    QVERIFY2(!QLocale::system().name().startsWith(QLatin1String("zh")),
             "the desktop's language must not be Chinese already");
    QVERIFY2(InterfaceLanguage::apply(*QCoreApplication::instance()),
             "Qt's Chinese translations are not installed (qt6-translations-l10n)");
}

void tst_InterfaceLanguage::qtTextsInChinese()
{
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDetailedText(QStringLiteral("Failed to connect"));
    box.show();
    QVERIFY(hasChinese(box.button(QMessageBox::Ok)->text()));
    QVERIFY(hasChinese(box.button(QMessageBox::Cancel)->text()));
    // The details button is the one button beyond the standard ones.
    QAbstractButton *details = nullptr;
    for (QAbstractButton *button : box.buttons()) {
        if (box.buttonRole(button) == QMessageBox::ActionRole)
            details = button;
    }
    QVERIFY(details);
    QVERIFY2(hasChinese(details->text()), qPrintable(details->text()));
}

void tst_InterfaceLanguage::calendarInChinese()
{
    QCOMPARE(QLocale().name(), InterfaceLanguage::localeName());
    QCalendarWidget calendar;
    QVERIFY(hasChinese(calendar.locale().monthName(1)));
    QVERIFY(hasChinese(calendar.locale().dayName(1, QLocale::ShortFormat)));
}

// A page that cannot be reached: the engine's own error page speaks Chinese.
void tst_InterfaceLanguage::webEngineErrorPageInChinese()
{
    QWebEngineView view;
    view.resize(800, 600);
    view.show();
    QSignalSpy finished(&view, &QWebEngineView::loadFinished);
    view.setUrl(QUrl(ClosedHost + QStringLiteral("/news.html")));
    QVERIFY(finished.wait(30000));
    QString text;
    QTRY_VERIFY_WITH_TIMEOUT(
        (view.page()->toPlainText([&text](const QString &shown) { text = shown; }), hasChinese(text)), 15000);
}

QTEST_MAIN(tst_InterfaceLanguage)
#include "tst_InterfaceLanguage.moc"
