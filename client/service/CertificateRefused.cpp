#include "CertificateRefused.h"

namespace {

std::string messageFor(const QString &host, const QString &reason)
{
    return QStringLiteral("无法安全连接到服务器 %1：%2。为保护您的密码，没有向它发送任何信息。")
        .arg(host, reason)
        .toStdString();
}

} // namespace

CertificateRefused::CertificateRefused(const QString &host, const QString &reason)
    : std::runtime_error(messageFor(host, reason))
{
}
