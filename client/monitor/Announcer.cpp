#include "Announcer.h"

#include "AlertSound.h"
#include "DesktopNotifications.h"
#include "PopUpPresets.h"
#include "ReminderSettings.h"
#include "TPopUpNotifier.h"

#include <QGuiApplication>

Announcer::Announcer(QObject *parent) : QObject(parent)
{
    // Toasts have no owner window: a minimised or hidden main window must not take them along.
    m_notifier = new TPopUpNotifier(nullptr);
    applyMainWindowPreset(*m_notifier);
    connect(m_notifier, &TPopUpNotifier::OnClick, this, &Announcer::clicked);
    m_desktopNotifications = new DesktopNotifications(this);
    connect(m_desktopNotifications, &DesktopNotifications::clicked, this, &Announcer::clicked);
}

Announcer::~Announcer()
{
    m_notifier->ClosePopUps();
    delete m_notifier;
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
