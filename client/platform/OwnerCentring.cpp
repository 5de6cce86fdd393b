#include "OwnerCentring.h"

#include <QEvent>
#include <QWidget>

OwnerCentring::OwnerCentring(QWidget *box, QWidget *owner) : QObject(box), m_box(box), m_owner(owner)
{
    box->installEventFilter(this);
}

bool OwnerCentring::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Resize:
            centre();
            break;
        case QEvent::Paint:
            m_box->removeEventFilter(this);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void OwnerCentring::centre()
{
    if (!m_owner || !m_owner->isVisible())
        return;
    const QWidget *ownerWindow = m_owner->window();
    m_box->move(ownerWindow->frameGeometry().center() - QPoint(m_box->width() / 2, m_box->height() / 2));
}
