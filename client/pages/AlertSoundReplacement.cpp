#include "AlertSoundReplacement.h"

#include "AlertSound.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace AlertSoundReplacement {

namespace {

constexpr qint64 BlockSize = 64 * 1024;
constexpr QFileDevice::Permissions OwnerReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool copyInto(QFile &source, QSaveFile &target)
{
    while (!source.atEnd()) {
        const QByteArray block = source.read(BlockSize);
        if (block.isEmpty() || target.write(block) != block.size())
            return false;
    }
    return source.error() == QFileDevice::NoError;
}

} // namespace

Result replaceInUse(const QString &chosenPath)
{
    return replace(chosenPath, AlertSound::inUsePath());
}

Result replace(const QString &chosenPath, const QString &inUsePath)
{
    const QFileInfo chosen(chosenPath);
    if (!chosen.isFile())
        return Result::Failed;
    const QFileInfo inUse(inUsePath);
    // Copying the sound in use onto itself would truncate it.
    if (inUse.exists() && chosen.canonicalFilePath() == inUse.canonicalFilePath())
        return Result::InUse;

    QFile source(chosenPath);
    if (!source.open(QIODevice::ReadOnly))
        return Result::Failed;
    QDir().mkpath(inUse.absolutePath());
    if (inUse.isFile())
        QFile::setPermissions(inUsePath, inUse.permissions() | OwnerReadWrite);
    QSaveFile target(inUsePath);
    target.setDirectWriteFallback(false);
    if (!target.open(QIODevice::WriteOnly))
        return Result::Failed;
    if (!copyInto(source, target)) {
        target.cancelWriting();
        target.commit(); // discards the partial copy
        return Result::Failed;
    }
    if (!target.commit())
        return Result::Failed;
    QFile::setPermissions(inUsePath, OwnerReadWrite);
    return Result::Replaced;
}

} // namespace AlertSoundReplacement
