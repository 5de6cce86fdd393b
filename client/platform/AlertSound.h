#pragma once

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

    // Starts the sound and returns at once; a missing or unplayable file gives the system
    // beep instead.
    void play();

signals:
    // play() was called.
    void played();
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
