#include "MarqueeStatus.h"

#include "OutsideText.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

MarqueeStatus::MarqueeStatus(QWidget *parent) : QWidget(parent)
{
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    // The line paints every pixel itself: nothing behind it needs painting at each step.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_step.setInterval(StepMs);
    m_blink.setInterval(BlinkMs);
    connect(&m_step, &QTimer::timeout, this, &MarqueeStatus::step);
    connect(&m_blink, &QTimer::timeout, this, &MarqueeStatus::blink);
}

void MarqueeStatus::setText(const QString &text)
{
    // The notice comes from the service: a line of sense is far shorter than this.
    m_text = OutsideText::cut(text, 2000);
    m_textWidth = QFontMetrics(font()).horizontalAdvance(m_text);
    m_offset = width();
    m_travelled = 0;
    renderText();
    update();
}

void MarqueeStatus::step()
{
    --m_offset;
    ++m_travelled;
    if (m_travelled >= m_textWidth + width()) {
        m_offset = width();
        m_travelled = 0;
        update();
        return;
    }
    // The pixels already on the screen move one to the left; only the column that comes in
    // at the right is painted anew.
    scroll(-1, 0, textArea());
}

void MarqueeStatus::blink()
{
    m_blinkLook = !m_blinkLook;
    renderText();
    update();
}

QRect MarqueeStatus::textArea() const
{
    return rect().adjusted(1, 1, -1, -1);
}

// Normal look: red text on the status strip; blink look: the colours swap. The text is laid
// out once per look, not at every step.
void MarqueeStatus::renderText()
{
    const qreal ratio = devicePixelRatioF();
    m_rendered = QPixmap(QSize(m_textWidth + 1, height()) * ratio);
    m_rendered.setDevicePixelRatio(ratio);
    m_rendered.fill(background());
    QPainter painter(&m_rendered);
    painter.setFont(font());
    // A red light enough to read on the dark strip (at least 4.5:1), as white reads on red.
    painter.setPen(m_blinkLook ? QColor(Qt::white) : QColor(248, 72, 72));
    painter.drawText(QRect(0, 0, m_textWidth + 1, height()),
                     Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, m_text);
}

QColor MarqueeStatus::background() const
{
    return m_blinkLook ? QColor(220, 38, 38) : QColor(5, 15, 30);
}

void MarqueeStatus::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), background());
    painter.setPen(QColor(255, 255, 255, 40));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setClipRegion(event->region().intersected(textArea()));
    painter.drawPixmap(m_offset, 0, m_rendered);
}

void MarqueeStatus::resizeEvent(QResizeEvent *event)
{
    renderText();
    QWidget::resizeEvent(event);
}

void MarqueeStatus::showEvent(QShowEvent *event)
{
    m_step.start();
    m_blink.start();
    QWidget::showEvent(event);
}

// A hidden line (the window sits in the tray) needs no steps: it saves the wake-ups.
void MarqueeStatus::hideEvent(QHideEvent *event)
{
    m_step.stop();
    m_blink.stop();
    QWidget::hideEvent(event);
}
