#pragma once

#include <QObject>
#include <QString>

// How the user wants alerts brought to their attention, kept in the per-user configuration
// directory. The main window's tray entry and the settings window both change it; whoever
// shows a setting follows changed() so that the two never disagree.
class ReminderSettings : public QObject
{
    Q_OBJECT

public:
    enum class Presentation { Toasts, DesktopNotifications };

    // The one instance, created on first use on the user-interface thread.
    static ReminderSettings &instance();

    // The settings file; a test that changes QStandardPaths' test mode reads another one.
    static QString filePath();

    // No sound and no toast or notification; the lists still refresh.
    bool muted() const;
    void setMuted(bool muted);

    Presentation presentation() const;
    void setPresentation(Presentation presentation);

    // Whether a remembered password goes into the desktop keychain when there is one.
    bool passwordInKeychain() const;
    void setPasswordInKeychain(bool inKeychain);

signals:
    void changed();

private:
    ReminderSettings() = default;
    bool value(const char *key, bool defaultValue) const;
    void setValue(const char *key, bool value);
};
