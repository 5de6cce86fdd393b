#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTime>

// How the user wants alerts brought to their attention, kept in the per-user configuration
// directory. The main window's tray entry and the settings window both change it; whoever
// shows a setting follows changed() so that the two never disagree. A new user's settings
// (nothing stored) give every stream its sound and its toast at any hour, as the client always
// did.
class ReminderSettings : public QObject
{
    Q_OBJECT

public:
    enum class Presentation { Toasts, DesktopNotifications };
    // The four streams the client announces.
    enum class Stream { StockPool, LiveNews, Insider, Secret };

    // The one instance, created on first use on the user-interface thread.
    static ReminderSettings &instance();

    // The settings file; a test that changes QStandardPaths' test mode reads another one.
    static QString filePath();

    static QList<Stream> streams();
    // The stream's name as the user knows it ("股池预警" …).
    static QString streamName(Stream stream);

    // No sound and no toast or notification; the lists still refresh.
    bool muted() const;
    void setMuted(bool muted);

    Presentation presentation() const;
    void setPresentation(Presentation presentation);

    // Whether a remembered password goes into the desktop keychain when there is one.
    bool passwordInKeychain() const;
    void setPasswordInKeychain(bool inKeychain);

    // The name of the file the user last chose as the shared alert sound; empty for the one the
    // program shipped with.
    QString sharedSoundName() const;
    void setSharedSoundName(const QString &name);

    // Per stream: its sound, and its toast (or desktop notification).
    bool soundOn(Stream stream) const;
    void setSoundOn(Stream stream, bool on);
    bool toastOn(Stream stream) const;
    void setToastOn(Stream stream, bool on);
    // The name of the sound the user chose for the stream (its copy is AlertSound's); empty
    // for the sound all streams share.
    QString soundName(Stream stream) const;
    void setSoundName(Stream stream, const QString &name);

    // Quiet hours, in the desktop's time: alerts are held silently from `from` up to `to`, which
    // may lie on the next day (22:00 to 07:30).
    bool quietHoursOn() const;
    void setQuietHoursOn(bool on);
    QTime quietFrom() const;
    QTime quietTo() const;
    void setQuietHours(const QTime &from, const QTime &to);

    // Alerts only during the Shanghai and Shenzhen sessions; outside them they are held.
    bool tradingSessionsOnly() const;
    void setTradingSessionsOnly(bool on);

    // A toast stays until it is clicked instead of sliding away after its time-out.
    bool toastsStayUntilClicked() const;
    void setToastsStayUntilClicked(bool stay);

signals:
    void changed();

private:
    ReminderSettings() = default;
    QVariant value(const QString &key, const QVariant &defaultValue) const;
    void setValue(const QString &key, const QVariant &value);
    static QString streamKey(Stream stream, const char *what);
};
