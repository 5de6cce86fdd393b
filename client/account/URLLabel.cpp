#include "URLLabel.h"

#include "ShellOpen.h"

#include <QMouseEvent>

URLLabel::URLLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    QFont linkFont = font();
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    setFont(linkFont);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setHot(false);
}

void URLLabel::enterEvent(QEnterEvent *event)
{
    setHot(true);
    QLabel::enterEvent(event);
}

void URLLabel::leaveEvent(QEvent *event)
{
    setHot(false);
    QLabel::leaveEvent(event);
}

void URLLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    emit clicked();
    if (!m_url.isEmpty())
        ShellOpen::open(m_url);
}

void URLLabel::setHot(bool hot)
{
    QPalette pal = palette();
    // A red light enough to read on the window's navy picture.
    pal.setColor(QPalette::WindowText, hot ? QColor(0xff, 0x6b, 0x6b) : QColor(Qt::white));
    setPalette(pal);
}
