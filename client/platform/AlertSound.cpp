#include "AlertSound.h"

#include "UnitGlouble.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

AlertSound::AlertSound() = default;

AlertSound &AlertSound::instance()
{
    static AlertSound *sound = new AlertSound; // lives as long as the process
    return *sound;
}

QString AlertSound::shippedPath()
{
    return UnitGlouble.AppDir + QLatin1String(FileName);
}

QString AlertSound::inUsePath()
{
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString path = directory + QLatin1Char('/') + QLatin1String(FileName);
    if (!QFileInfo::exists(path) && QFileInfo::exists(shippedPath())) {
        QDir().mkpath(directory);
        QFile::copy(shippedPath(), path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return path;
}

QString AlertSound::streamSoundPath(ReminderSettings::Stream stream)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/stream-%1.wav").arg(int(stream));
}

QString AlertSound::pathFor(ReminderSettings::Stream stream)
{
    const bool ownSound = !ReminderSettings::instance().soundName(stream).isEmpty() &&
                          QFileInfo(streamSoundPath(stream)).isFile();
    return ownSound ? streamSoundPath(stream) : inUsePath();
}

void AlertSound::play()
{
    play(inUsePath());
}

void AlertSound::play(const QString &path)
{
    emit played(path);
    const QFileInfo file(path);
    if (!file.isFile()) {
        fallBack();
        return;
    }
    // The settings window may have put another sound at the same path since the last time.
    const qint64 stamp = file.lastModified().toMSecsSinceEpoch() ^ file.size();
    if (!m_effect || m_loadedPath != file.filePath() || m_loadedStamp != stamp) {
        delete m_effect;
        m_effect = new QSoundEffect(this);
        connect(m_effect, &QSoundEffect::statusChanged, this, [this, effect = m_effect] {
            if (effect != m_effect)
                return;
            if (effect->status() == QSoundEffect::Error) {
                m_playWhenLoaded = false;
                fallBack();
            } else if (effect->status() == QSoundEffect::Ready && m_playWhenLoaded) {
                m_playWhenLoaded = false;
                effect->play();
            }
        });
        m_effect->setSource(QUrl::fromLocalFile(file.filePath()));
        m_loadedPath = file.filePath();
        m_loadedStamp = stamp;
    }
    if (m_effect->status() == QSoundEffect::Error) {
        fallBack();
        return;
    }
    if (m_effect->status() == QSoundEffect::Ready)
        m_effect->play();
    else
        m_playWhenLoaded = true; // starts once loaded
}

void AlertSound::fallBack()
{
    QApplication::beep();
    emit fellBack();
}
