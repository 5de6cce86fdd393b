#include "TransportFailure.h"

namespace {

std::string composed(TransportFailure::Kind kind, const QString &address, const QString &detail)
{
    return (TransportFailure::sentence(kind, address) + QString::fromUtf8(TransportFailure::DetailMarker) +
            detail)
        .toStdString();
}

} // namespace

TransportFailure::TransportFailure(Kind kind, const QString &address, const QString &detail)
    : std::runtime_error(composed(kind, address, detail)), m_kind(kind), m_address(address), m_detail(detail)
{
}

TransportFailure TransportFailure::withDetail(const QString &more) const
{
    return TransportFailure(m_kind, m_address, m_detail + more);
}

QString TransportFailure::sentence(Kind kind, const QString &address)
{
    switch (kind) {
    case Kind::CannotResolve:
        return QStringLiteral("找不到服务器 %1，请检查网络连接和域名设置。").arg(address);
    case Kind::CannotConnect:
        return QStringLiteral("无法连接到服务器 %1，请检查网络连接，或稍后再试。").arg(address);
    case Kind::NoAnswer:
        return QStringLiteral("服务器 %1 没有响应，请稍后再试。").arg(address);
    case Kind::ConnectionLost:
        return QStringLiteral("与服务器 %1 的连接中断了，请稍后再试。").arg(address);
    case Kind::TooLarge:
        return QStringLiteral("服务器 %1 的回答过大（超过 32 MiB），没有读取。").arg(address);
    case Kind::Aborted:
        return QStringLiteral("与服务器 %1 的通信已取消。").arg(address);
    case Kind::Other:
        break;
    }
    return QStringLiteral("与服务器 %1 通信失败，请稍后再试。").arg(address);
}
