#pragma once

#include <QObject>
#include <QString>

class DesktopNotifications;
class TPopUpNotifier;

// How the main window tells of a new alert: the alert sound and a toast, or a desktop
// notification where the user chose them or where toasts cannot be placed (Wayland). Muted,
// it stays silent and shows nothing.
class Announcer : public QObject
{
    Q_OBJECT

public:
    explicit Announcer(QObject *parent = nullptr);
    ~Announcer() override;

    // The toast notifier (PopUpNotifier1); owned here, with no owner window of its own.
    TPopUpNotifier *notifier() const { return m_notifier; }

    // The alert sound; silent while muted.
    void playSound();
    // A toast or desktop notification with this text; nothing while muted.
    void announce(const QString &text);
    void closePopUps();

signals:
    // A toast was asked for with this text (whether or not the notifier had room for it).
    void announced(const QString &text);
    // The user clicked a toast or a desktop notification.
    void clicked();

private:
    bool announcesOnDesktop() const;

    TPopUpNotifier *m_notifier = nullptr;
    DesktopNotifications *m_desktopNotifications = nullptr;
};
