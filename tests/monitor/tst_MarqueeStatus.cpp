#include "MarqueeStatus.h"
#include "TextContrast.h"

#include <QFontMetrics>
#include <QImage>
#include <QTest>

// The status line scrolls one pixel a step from the right edge and starts over once it has
// travelled its text's width plus its own; the blink switches the look.
class tst_MarqueeStatus : public QObject
{
    Q_OBJECT

private slots:
    void scrollsAndStartsOver();
    void blinkSwitchesTheLook();
};

namespace {

bool hasColour(const QImage &image, QRgb wanted)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == wanted)
                return true;
        }
    }
    return false;
}

} // namespace

void tst_MarqueeStatus::scrollsAndStartsOver()
{
    MarqueeStatus line;
    line.resize(300, 22);
    line.setText(QStringLiteral("欢迎使用智能股票预警系统"));
    QCOMPARE(line.textOffset(), 300);
    const int textWidth = QFontMetrics(line.font()).horizontalAdvance(line.text());
    for (int i = 0; i < 120; ++i)
        line.step();
    QCOMPARE(line.textOffset(), 180);
    for (int i = 120; i < textWidth + 300 - 1; ++i)
        line.step();
    QCOMPARE(line.textOffset(), -textWidth + 1);
    line.step();
    QCOMPARE(line.textOffset(), 300);
}

void tst_MarqueeStatus::blinkSwitchesTheLook()
{
    MarqueeStatus line;
    line.resize(300, 22);
    line.setText(QStringLiteral("通知"));
    for (int i = 0; i < 200; ++i)
        line.step();
    const QRgb red = qRgb(220, 38, 38);
    const QRgb lightRed = qRgb(248, 72, 72);
    const QImage normal = line.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!line.isBlinkLook());
    QCOMPARE(normal.pixel(150, 1), qRgb(5, 15, 30) | 0xff000000u);
    QVERIFY(hasColour(normal, lightRed)); // the red text, light enough for the dark strip
    // Both looks read: text and strip at least 4.5:1 apart.
    QVERIFY(TextContrast::ratio(QColor(lightRed), QColor(5, 15, 30)) >= 4.5);
    QVERIFY(TextContrast::ratio(QColor(Qt::white), QColor(red)) >= 4.5);
    line.blink();
    QVERIFY(line.isBlinkLook());
    const QImage blinking = line.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(blinking.pixel(150, 1), red);
    QVERIFY(hasColour(blinking, qRgb(255, 255, 255))); // the white text
}

QTEST_MAIN(tst_MarqueeStatus)
#include "tst_MarqueeStatus.moc"
