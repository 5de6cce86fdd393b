#include "Announcer.h"

#include "AlertSound.h"
#include "DesktopNotifications.h"
#include "PopUpPresets.h"
#include "ReminderSchedule.h"
#include "TPopUpNotifier.h"

#include <QGuiApplication>
#include <QStringList>

Announcer::Announcer(QObject *parent) : QObject(parent)
{
    // Toasts have no owner window: a minimised or hidden main window must not take them along.
    m_notifier = new TPopUpNotifier(nullptr);
    applyMainWindowPreset(*m_notifier);
    connect(m_notifier, &TPopUpNotifier::OnClick, this, &Announcer::clicked);
    m_desktopNotifications = new DesktopNotifications(this);
    connect(m_desktopNotifications, &DesktopNotifications::clicked, this, &Announcer::clicked);
    setClock({});
    m_quietCheck.setInterval(QuietCheckMs);
    connect(&m_quietCheck, &QTimer::timeout, this, &Announcer::checkQuietTimeOver);
}

Announcer::~Announcer()
{
    m_notifier->ClosePopUps();
    delete m_notifier;
}

void Announcer::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); });
}

bool Announcer::holdsAlerts() const
{
    const ReminderSettings &settings = ReminderSettings::instance();
    const QDateTime now = m_clock();
    if (settings.quietHoursOn() &&
        ReminderSchedule::inQuietHours(now.time(), settings.quietFrom(), settings.quietTo()))
        return true;
    return settings.tradingSessionsOnly() && !ReminderSchedule::inTradingSession(now);
}

int Announcer::heldCount(ReminderSettings::Stream stream) const
{
    const auto held = m_held.find(stream);
    return held == m_held.end() ? 0 : held->second;
}

void Announcer::alert(ReminderSettings::Stream stream, const QString &text)
{
    const ReminderSettings &settings = ReminderSettings::instance();
    if (settings.muted())
        return;
    if (holdsAlerts()) {
        ++m_held[stream];
        m_quietCheck.start();
        return;
    }
    if (settings.soundOn(stream))
        AlertSound::instance().play(AlertSound::pathFor(stream));
    if (settings.toastOn(stream))
        announce(text);
}

void Announcer::checkQuietTimeOver()
{
    if (holdsAlerts())
        return;
    m_quietCheck.stop();
    if (m_held.empty())
        return;
    const QString summary = summaryOfHeld();
    m_held.clear();
    announce(summary);
}

// "【免打扰期间的提醒】", then a line per stream that had alerts: "股池预警：3 条".
QString Announcer::summaryOfHeld() const
{
    QStringList lines{QStringLiteral("【免打扰期间的提醒】")};
    for (const ReminderSettings::Stream stream : ReminderSettings::streams()) {
        if (const int count = heldCount(stream))
            lines.append(QStringLiteral("%1：%2 条").arg(ReminderSettings::streamName(stream)).arg(count));
    }
    return lines.join(QLatin1Char('\r'));
}

void Announcer::playSound()
{
    if (!ReminderSettings::instance().muted())
        AlertSound::instance().play();
}

void Announcer::announce(const QString &text)
{
    if (ReminderSettings::instance().muted())
        return;
    if (announcesOnDesktop()) {
        m_desktopNotifications->show(m_notifier->Title(), text);
    } else {
        m_notifier->setStaysUntilClicked(ReminderSettings::instance().toastsStayUntilClicked());
        m_notifier->setText(text);
        m_notifier->ShowPopUp();
    }
    emit announced(text);
}

void Announcer::closePopUps()
{
    m_notifier->ClosePopUps();
}

// Wayland does not let a client place a window, so a toast would land anywhere: there the
// desktop's notifications stand in whenever the desktop has them.
bool Announcer::announcesOnDesktop() const
{
    const bool chosen =
        ReminderSettings::instance().presentation() == ReminderSettings::Presentation::DesktopNotifications;
    const bool toastsCannotBePlaced = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return (chosen || toastsCannotBePlaced) && m_desktopNotifications->isAvailable();
}
