#pragma once

#include "ReminderSettings.h"

#include <QObject>
#include <QString>

class QSoundEffect;

// The alert sound every announcing flow plays. The sound in use lives in the per-user data
// directory, where the user may replace it (an installed program directory is not writable);
// it is seeded from the sound shipped in the program directory the first time it is needed.
class AlertSound : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *FileName = "miduseing.wav";

    // The one instance, created on first use on the user-interface thread.
    static AlertSound &instance();

    // The sound in use, copied from the shipped one when the user has none yet.
    static QString inUsePath();
    // The sound shipped in the program directory (UnitGlouble.AppDir).
    static QString shippedPath();
    // Where the copy of a sound the user chose for one stream lives, beside the sound in use.
    static QString streamSoundPath(ReminderSettings::Stream stream);
    // The sound a stream's alerts play: its own when the user chose one, else the sound in use.
    static QString pathFor(ReminderSettings::Stream stream);

    // Starts the sound in use (or the file at `path`) and returns at once; a missing or
    // unplayable file gives the system beep instead.
    void play();
    void play(const QString &path);

signals:
    // play() was called for the sound at this path.
    void played(const QString &path);
    // The sound could not be played and the beep stood in.
    void fellBack();

private:
    AlertSound();
    void fallBack();

    QSoundEffect *m_effect = nullptr;
    QString m_loadedPath;
    qint64 m_loadedStamp = -1;
    bool m_playWhenLoaded = false;
};
