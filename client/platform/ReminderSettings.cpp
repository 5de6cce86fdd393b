#include "ReminderSettings.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr const char *MutedKey = "reminders/muted";
constexpr const char *DesktopNotificationsKey = "reminders/desktopNotifications";
constexpr const char *KeychainKey = "reminders/passwordInKeychain";

} // namespace

ReminderSettings &ReminderSettings::instance()
{
    static ReminderSettings *settings = new ReminderSettings; // lives as long as the process
    return *settings;
}

QString ReminderSettings::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/reminders.ini");
}

// A QSettings per access: the file is read afresh, so a second program instance or a test that
// switched the configuration directory never sees a stale copy.
bool ReminderSettings::value(const char *key, bool defaultValue) const
{
    const QSettings settings(filePath(), QSettings::IniFormat);
    return settings.value(QLatin1String(key), defaultValue).toBool();
}

void ReminderSettings::setValue(const char *key, bool value)
{
    if (this->value(key, !value) == value)
        return;
    {
        QSettings settings(filePath(), QSettings::IniFormat);
        settings.setValue(QLatin1String(key), value);
    }
    emit changed();
}

bool ReminderSettings::muted() const
{
    return value(MutedKey, false);
}

void ReminderSettings::setMuted(bool muted)
{
    setValue(MutedKey, muted);
}

ReminderSettings::Presentation ReminderSettings::presentation() const
{
    return value(DesktopNotificationsKey, false) ? Presentation::DesktopNotifications : Presentation::Toasts;
}

void ReminderSettings::setPresentation(Presentation presentation)
{
    setValue(DesktopNotificationsKey, presentation == Presentation::DesktopNotifications);
}

bool ReminderSettings::passwordInKeychain() const
{
    return value(KeychainKey, true);
}

void ReminderSettings::setPasswordInKeychain(bool inKeychain)
{
    setValue(KeychainKey, inKeychain);
}
