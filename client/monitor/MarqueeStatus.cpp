#include "MarqueeStatus.h"

#include "OutsideText.h"

#include <QFontMetrics>
#include <QPainter>

MarqueeStatus::MarqueeStatus(QWidget *parent) : QWidget(parent)
{
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
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
    update();
}

void MarqueeStatus::step()
{
    --m_offset;
    ++m_travelled;
    if (m_travelled >= m_textWidth + width()) {
        m_offset = width();
        m_travelled = 0;
    }
    update();
}

void MarqueeStatus::blink()
{
    m_blinkLook = !m_blinkLook;
    update();
}

void MarqueeStatus::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Normal look: red text on the status strip; blink look: the colours swap.
    const QColor red(220, 38, 38);
    const QColor strip(5, 15, 30);
    painter.fillRect(rect(), m_blinkLook ? red : strip);
    painter.setPen(QColor(255, 255, 255, 40));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(m_blinkLook ? QColor(Qt::white) : red);
    painter.setClipRect(rect().adjusted(1, 1, -1, -1));
    painter.drawText(QRect(m_offset, 0, m_textWidth + 1, height()),
                     Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, m_text);
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
