#include "RememberedCredentials.h"

#include "TextConversions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <stdexcept>

namespace {

// The program itself writes a few dozen bytes; whatever is larger is not ours to read whole.
constexpr qint64 MaxReadBytes = 64 * 1024;

[[noreturn]] void fail(const QString &what, const QString &path, const QString &reason)
{
    throw std::runtime_error(
        QStringLiteral("%1 \"%2\". %3").arg(what, QDir::toNativeSeparators(path), reason).toStdString());
}

} // namespace

QString RememberedCredentials::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/gpxxjl.lwl");
}

RememberedCredentials::Contents RememberedCredentials::read()
{
    Contents contents;
    const QString path = filePath();
    if (!QFileInfo(path).isFile())
        return contents;
    contents.exists = true;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return contents;
    QStringDecoder decoder("GBK");
    QString text = decoder.decode(file.read(MaxReadBytes));
    // Lines end in CR LF as written, but a lone CR or LF ends one too.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty())
        contents.userName = TextConversions::trim(lines.at(0));
    if (lines.size() >= 3)
        contents.password = TextConversions::trim(lines.at(2));
    return contents;
}

QByteArray RememberedCredentials::encode(const QString &userName, const QString &password)
{
    QStringEncoder encoder("GBK");
    QByteArray bytes = encoder.encode(TextConversions::trim(userName));
    bytes += "\r\n\\\r\n";
    bytes += QByteArray(encoder.encode(TextConversions::trim(password)));
    bytes += "\r\n";
    return bytes;
}

void RememberedCredentials::write(const QString &userName, const QString &password)
{
    remove();
    const QString path = filePath();
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory))
        fail(QStringLiteral("Cannot create directory"), directory, QString());

    // Created owner-only from the start: the password is in clear text.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        fail(QStringLiteral("Cannot create file"), path, file.errorString());
    const QByteArray bytes = encode(userName, password);
    if (file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("Cannot write file"), path, file.errorString());
    file.close();
}

void RememberedCredentials::remove()
{
    const QString path = filePath();
    if (!QFileInfo(path).isFile())
        return;
    QFile file(path);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!file.remove())
        fail(QStringLiteral("Cannot delete file"), path, file.errorString());
}
