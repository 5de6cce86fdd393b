#include "TrayIntegration.h"

#include "OutsideText.h"
#include "ReminderSettings.h"

#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>

TrayIntegration::TrayIntegration(QWidget *window) : QObject(window)
{
    createMenu(window);
    createMuteEntry();
    createIcon();
}

void TrayIntegration::createMenu(QWidget *window)
{
    PopupMenu1 = new QMenu(window);
    const auto entry = [this](const QString &caption) { return PopupMenu1->addAction(caption); };
    N2 = entry(QStringLiteral("预警管理"));
    N4 = entry(QStringLiteral("私募内参"));
    N3 = entry(QStringLiteral("新闻资讯"));
    N7 = entry(QStringLiteral("实时行情"));
    N6 = entry(QStringLiteral("价值评估"));
    N8 = entry(QStringLiteral("个股档案"));
    N9 = entry(QStringLiteral("大盘资金"));
    N5 = entry(QStringLiteral("研究报告"));
    N10 = entry(QStringLiteral("系统主页"));
    N1 = entry(QStringLiteral("退出系统"));

    m_pageEntries = {
        {PageKind::AlertList, N2},   {PageKind::Insider, N4},   {PageKind::News, N3},
        {PageKind::Quotes, N7},      {PageKind::Valuation, N6}, {PageKind::StockProfile, N8},
        {PageKind::MarketFunds, N9}, {PageKind::Research, N5},
    };
    for (const auto &[kind, action] : m_pageEntries)
        connect(action, &QAction::triggered, this, [this, kind = kind] { emit pageRequested(kind); });
}

void TrayIntegration::createMuteEntry()
{
    MuteEntry = new QAction(QStringLiteral("静音"), PopupMenu1);
    MuteEntry->setCheckable(true);
    MuteEntry->setChecked(ReminderSettings::instance().muted());
    PopupMenu1->insertAction(N1, MuteEntry);
    connect(MuteEntry, &QAction::toggled, this,
            [](bool muted) { ReminderSettings::instance().setMuted(muted); });
    // The settings window changes it too; the entry follows.
    connect(&ReminderSettings::instance(), &ReminderSettings::changed, MuteEntry,
            [this] { MuteEntry->setChecked(ReminderSettings::instance().muted()); });
}

namespace {

// The icon with a muted mark in its lower right quarter: a red disc crossed by a white bar, the
// way a silenced bell is drawn small.
QIcon withMutedMark(const QIcon &icon, const QSize &size)
{
    QPixmap marked = icon.pixmap(size);
    QPainter painter(&marked);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF mark(size.width() * 0.5, size.height() * 0.5, size.width() * 0.5, size.height() * 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc8, 0x10, 0x2e));
    painter.drawEllipse(mark);
    painter.setPen(QPen(Qt::white, std::max(1.5, size.width() / 12.0), Qt::SolidLine, Qt::RoundCap));
    const qreal inset = mark.width() * 0.25;
    painter.drawLine(mark.topLeft() + QPointF(inset, inset), mark.bottomRight() - QPointF(inset, inset));
    return QIcon(marked);
}

} // namespace

void TrayIntegration::createIcon()
{
    m_onlineIcon = QIcon(QStringLiteral(":/main/tray.png"));
    // The same picture greyed out, as the desktop draws a disabled icon.
    const QSize iconSize = m_onlineIcon.availableSizes().value(0, QSize(32, 32));
    m_offlineIcon = QIcon(m_onlineIcon.pixmap(iconSize, QIcon::Disabled));
    m_mutedOnlineIcon = withMutedMark(m_onlineIcon, iconSize);
    m_mutedOfflineIcon = withMutedMark(m_offlineIcon, iconSize);
    TrayIcon1 = new QSystemTrayIcon(m_onlineIcon, this);
    // Muted shows on the icon, whichever way it was muted.
    connect(&ReminderSettings::instance(), &ReminderSettings::changed, this,
            [this] { showOffline(m_showsOffline); });
    showOffline(false);
    TrayIcon1->setContextMenu(PopupMenu1);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit restoreRequested();
    });
}

void TrayIntegration::setPageTitles(const std::map<PageKind, QString> &titles)
{
    for (const auto &[kind, title] : titles) {
        if (const auto entry = m_pageEntries.find(kind); entry != m_pageEntries.end())
            entry->second->setText(title);
    }
}

void TrayIntegration::setSystemName(const QString &name)
{
    m_systemName = name;
    showOffline(m_showsOffline);
}

void TrayIntegration::show()
{
    TrayIcon1->show();
}

void TrayIntegration::hide()
{
    TrayIcon1->hide();
}

bool TrayIntegration::canHoldWindow() const
{
    return TrayIcon1->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

// Failing ticks stay silent; only the icon tells that the client has been out of touch for a
// while.
void TrayIntegration::noteTickReached(bool reached)
{
    m_failedTicks = reached ? 0 : m_failedTicks + 1;
    if (reached && m_showsOffline)
        showOffline(false);
    else if (m_failedTicks >= OfflineAfterFailedTicks && !m_showsOffline)
        showOffline(true);
}

void TrayIntegration::showOffline(bool offline)
{
    m_showsOffline = offline;
    const bool muted = ReminderSettings::instance().muted();
    if (muted)
        TrayIcon1->setIcon(offline ? m_mutedOfflineIcon : m_mutedOnlineIcon);
    else
        TrayIcon1->setIcon(offline ? m_offlineIcon : m_onlineIcon);
    QString hint = m_systemName;
    if (offline)
        hint += QStringLiteral("（与服务器的连接已中断）");
    if (muted)
        hint += QStringLiteral("（静音）");
    TrayIcon1->setToolTip(OutsideText::forToolTip(hint));
}

bool TrayIntegration::showsMuted() const
{
    const QIcon shown = TrayIcon1->icon();
    return shown.cacheKey() == m_mutedOnlineIcon.cacheKey() ||
           shown.cacheKey() == m_mutedOfflineIcon.cacheKey();
}
