#include "RememberedCredentialsFile.h"

#include "RememberedCredentials.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace RememberedCredentialsFile {

void clear()
{
    const QString path = RememberedCredentials::filePath();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

bool put(const QByteArray &bytes)
{
    const QString path = RememberedCredentials::filePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray bytes()
{
    QFile file(RememberedCredentials::filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

} // namespace RememberedCredentialsFile
