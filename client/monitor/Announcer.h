#pragma once

#include "ReminderSettings.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>

class DesktopNotifications;
class TPopUpNotifier;

// How the main window tells of a new alert: its stream's sound and a toast, or a desktop
// notification where the user chose them or where toasts cannot be placed (Wayland), as the
// user set each stream. Muted, it stays silent and shows nothing. During quiet hours, and
// outside the trading sessions when the user wants alerts only then, alerts are held silently
// and counted; when that time ends, one toast tells how many came of each stream.
class Announcer : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    explicit Announcer(QObject *parent = nullptr);
    ~Announcer() override;

    // The toast notifier (PopUpNotifier1); owned here, with no owner window of its own.
    TPopUpNotifier *notifier() const { return m_notifier; }

    // What "now" is for quiet hours and trading sessions (tests set their own); a null clock
    // restores the system's.
    void setClock(Clock clock);

    // A new alert of the stream: its sound, then its toast, as the user set them.
    void alert(ReminderSettings::Stream stream, const QString &text);
    // The shared alert sound; silent while muted.
    void playSound();
    // A toast or desktop notification with this text; nothing while muted.
    void announce(const QString &text);
    void closePopUps();

    // Whether alerts are held now (quiet hours, or outside the trading sessions).
    bool holdsAlerts() const;
    // Alerts held so far, per stream.
    int heldCount(ReminderSettings::Stream stream) const;

    // How often the end of a quiet time is looked for.
    static constexpr int QuietCheckMs = 30 * 1000;

public slots:
    // Once alerts are no longer held, tells of those that were in one summary toast.
    void checkQuietTimeOver();

signals:
    // A toast was asked for with this text (whether or not the notifier had room for it).
    void announced(const QString &text);
    // The user clicked a toast or a desktop notification.
    void clicked();

private:
    bool announcesOnDesktop() const;
    QString summaryOfHeld() const;

    TPopUpNotifier *m_notifier = nullptr;
    DesktopNotifications *m_desktopNotifications = nullptr;
    Clock m_clock;
    std::map<ReminderSettings::Stream, int> m_held;
    QTimer m_quietCheck;
};
