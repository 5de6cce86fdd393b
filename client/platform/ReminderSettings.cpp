#include "ReminderSettings.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

const QString MutedKey = QStringLiteral("reminders/muted");
const QString DesktopNotificationsKey = QStringLiteral("reminders/desktopNotifications");
const QString KeychainKey = QStringLiteral("reminders/passwordInKeychain");
const QString SharedSoundNameKey = QStringLiteral("sound/name");
const QString QuietHoursOnKey = QStringLiteral("quietHours/on");
const QString QuietFromKey = QStringLiteral("quietHours/from");
const QString QuietToKey = QStringLiteral("quietHours/to");
const QString TradingSessionsOnlyKey = QStringLiteral("reminders/tradingSessionsOnly");
const QString ToastsStayKey = QStringLiteral("reminders/toastsStayUntilClicked");

// Offered when the user first turns quiet hours on.
const QTime DefaultQuietFrom(22, 0);
const QTime DefaultQuietTo(7, 30);

QTime timeOf(const QVariant &stored, const QTime &fallback)
{
    const QTime time = QTime::fromString(stored.toString(), QStringLiteral("HH:mm"));
    return time.isValid() ? time : fallback;
}

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

QList<ReminderSettings::Stream> ReminderSettings::streams()
{
    return {Stream::StockPool, Stream::LiveNews, Stream::Insider, Stream::Secret};
}

QString ReminderSettings::streamName(Stream stream)
{
    switch (stream) {
    case Stream::StockPool:
        return QStringLiteral("股池预警");
    case Stream::LiveNews:
        return QStringLiteral("实盘资讯");
    case Stream::Insider:
        return QStringLiteral("私募内参");
    case Stream::Secret:
        break;
    }
    return QStringLiteral("私募绝密");
}

QString ReminderSettings::streamKey(Stream stream, const char *what)
{
    static const char *const names[] = {"stockPool", "liveNews", "insider", "secret"};
    return QStringLiteral("streams/") + QLatin1String(names[int(stream)]) + QLatin1Char('/') +
           QLatin1String(what);
}

// A QSettings per access: the file is read afresh, so a second program instance or a test that
// switched the configuration directory never sees a stale copy.
QVariant ReminderSettings::value(const QString &key, const QVariant &defaultValue) const
{
    const QSettings settings(filePath(), QSettings::IniFormat);
    return settings.value(key, defaultValue);
}

void ReminderSettings::setValue(const QString &key, const QVariant &value)
{
    {
        const QSettings stored(filePath(), QSettings::IniFormat);
        if (stored.contains(key) && stored.value(key).toString() == value.toString())
            return;
    }
    {
        QSettings settings(filePath(), QSettings::IniFormat);
        settings.setValue(key, value);
    }
    emit changed();
}

bool ReminderSettings::muted() const
{
    return value(MutedKey, false).toBool();
}

void ReminderSettings::setMuted(bool muted)
{
    if (this->muted() != muted)
        setValue(MutedKey, muted);
}

ReminderSettings::Presentation ReminderSettings::presentation() const
{
    return value(DesktopNotificationsKey, false).toBool() ? Presentation::DesktopNotifications
                                                          : Presentation::Toasts;
}

void ReminderSettings::setPresentation(Presentation presentation)
{
    if (this->presentation() != presentation)
        setValue(DesktopNotificationsKey, presentation == Presentation::DesktopNotifications);
}

bool ReminderSettings::passwordInKeychain() const
{
    return value(KeychainKey, true).toBool();
}

void ReminderSettings::setPasswordInKeychain(bool inKeychain)
{
    if (passwordInKeychain() != inKeychain)
        setValue(KeychainKey, inKeychain);
}

QString ReminderSettings::sharedSoundName() const
{
    return value(SharedSoundNameKey, QString()).toString();
}

void ReminderSettings::setSharedSoundName(const QString &name)
{
    if (sharedSoundName() != name)
        setValue(SharedSoundNameKey, name);
}

bool ReminderSettings::soundOn(Stream stream) const
{
    return value(streamKey(stream, "sound"), true).toBool();
}

void ReminderSettings::setSoundOn(Stream stream, bool on)
{
    if (soundOn(stream) != on)
        setValue(streamKey(stream, "sound"), on);
}

bool ReminderSettings::toastOn(Stream stream) const
{
    return value(streamKey(stream, "toast"), true).toBool();
}

void ReminderSettings::setToastOn(Stream stream, bool on)
{
    if (toastOn(stream) != on)
        setValue(streamKey(stream, "toast"), on);
}

QString ReminderSettings::soundName(Stream stream) const
{
    return value(streamKey(stream, "soundName"), QString()).toString();
}

void ReminderSettings::setSoundName(Stream stream, const QString &name)
{
    if (soundName(stream) != name)
        setValue(streamKey(stream, "soundName"), name);
}

bool ReminderSettings::quietHoursOn() const
{
    return value(QuietHoursOnKey, false).toBool();
}

void ReminderSettings::setQuietHoursOn(bool on)
{
    if (quietHoursOn() != on)
        setValue(QuietHoursOnKey, on);
}

QTime ReminderSettings::quietFrom() const
{
    return timeOf(value(QuietFromKey, QString()), DefaultQuietFrom);
}

QTime ReminderSettings::quietTo() const
{
    return timeOf(value(QuietToKey, QString()), DefaultQuietTo);
}

void ReminderSettings::setQuietHours(const QTime &from, const QTime &to)
{
    setValue(QuietFromKey, from.toString(QStringLiteral("HH:mm")));
    setValue(QuietToKey, to.toString(QStringLiteral("HH:mm")));
}

bool ReminderSettings::tradingSessionsOnly() const
{
    return value(TradingSessionsOnlyKey, false).toBool();
}

void ReminderSettings::setTradingSessionsOnly(bool on)
{
    if (tradingSessionsOnly() != on)
        setValue(TradingSessionsOnlyKey, on);
}

bool ReminderSettings::toastsStayUntilClicked() const
{
    return value(ToastsStayKey, false).toBool();
}

void ReminderSettings::setToastsStayUntilClicked(bool stay)
{
    if (toastsStayUntilClicked() != stay)
        setValue(ToastsStayKey, stay);
}
