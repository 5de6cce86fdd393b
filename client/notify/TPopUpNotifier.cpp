#include "TPopUpNotifier.h"

#include "DesktopWorkArea.h"
#include "TfrmPopUpToast.h"

#include <QApplication>
#include <QMetaMethod>
#include <QPointer>
#include <QWidget>

TPopUpNotifier::TPopUpNotifier(QWidget *owner) : QObject(owner)
{
    m_hoverFont.font.setUnderline(true);
    m_hoverFont.color = QColor(Qt::blue);
    m_titleFont.font.setBold(true);
}

TPopUpNotifier::~TPopUpNotifier() = default;

void TPopUpNotifier::setScrollSpeed(int pixelsPerTick)
{
    m_scrollSpeed = qBound(MinScrollSpeed, pixelsPerTick, MaxScrollSpeed);
}

void TPopUpNotifier::setTextAlignment(Qt::Alignment alignment)
{
    m_textAlignment = alignment & Qt::AlignHorizontal_Mask;
}

int TPopUpNotifier::GetTaskbarEdge()
{
    return PopUpLayout::taskbarEdge(DesktopWorkArea::taskbarRect());
}

bool TPopUpNotifier::ShowPopUp()
{
    // Earlier toasts that wait go first: a new one does not overtake them.
    if (m_waiting.isEmpty() && m_merged == 0 && showNow())
        return true;
    if (m_waiting.size() < MaxWaiting)
        m_waiting.append(m_text);
    else
        ++m_merged;
    return false;
}

bool TPopUpNotifier::showNow()
{
    if (GetTaskbarEdge() != m_layout.lastTaskbarEdge())
        m_layout.taskbarEdgeChanged(GetTaskbarEdge());
    if (!m_layout.admit(DesktopWorkArea::workArea(), QSize(m_width, m_height), m_margins))
        return false;
    auto *toast = new TfrmPopUpToast(this, qobject_cast<QWidget *>(parent()));
    toast->PopUp();
    emit popUpShown(m_text);
    return true;
}

QString TPopUpNotifier::mergedText(int n)
{
    return QStringLiteral("还有 %1 条新预警").arg(n);
}

void TPopUpNotifier::placeFreed(int startOffset)
{
    m_layout.release(startOffset);
    // Later, from the event loop: the toast that freed the place is still closing, and
    // ClosePopUps may be walking the open toasts right now.
    if (!m_waiting.isEmpty() || m_merged > 0)
        QMetaObject::invokeMethod(this, &TPopUpNotifier::showWaiting, Qt::QueuedConnection);
}

void TPopUpNotifier::showWaiting()
{
    const QString asked = m_text;
    while (!m_waiting.isEmpty() || m_merged > 0) {
        m_text = m_waiting.isEmpty() ? mergedText(m_merged) : m_waiting.first();
        if (!showNow())
            break;
        if (m_waiting.isEmpty())
            m_merged = 0;
        else
            m_waiting.removeFirst();
    }
    m_text = asked;
}

void TPopUpNotifier::ClosePopUps()
{
    // Collect first: closing frees toasts (deferred) and the click callback may show new ones.
    QList<QPointer<TfrmPopUpToast>> open;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *toast = qobject_cast<TfrmPopUpToast *>(window); toast && !toast->isClosed())
            open.append(toast);
    }
    for (const QPointer<TfrmPopUpToast> &toast : open) {
        if (toast && !toast->isClosed())
            toast->close();
    }
}

bool TPopUpNotifier::hasClickHandler() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&TPopUpNotifier::OnClick));
}
