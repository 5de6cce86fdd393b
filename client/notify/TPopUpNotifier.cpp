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
    if (GetTaskbarEdge() != m_layout.lastTaskbarEdge())
        m_layout.taskbarEdgeChanged(GetTaskbarEdge());
    if (!m_layout.admit(DesktopWorkArea::workArea(), QSize(m_width, m_height), m_margins))
        return false;
    auto *toast = new TfrmPopUpToast(this, qobject_cast<QWidget *>(parent()));
    toast->PopUp();
    return true;
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
