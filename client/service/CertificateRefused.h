#pragma once

#include <QString>

#include <stdexcept>

// The service's certificate did not verify, so nothing was sent. what() is the message for
// the subscriber (in Chinese, naming the host and the reason); callers that would otherwise
// show a general failure show this text instead.
class CertificateRefused : public std::runtime_error
{
public:
    CertificateRefused(const QString &host, const QString &reason);

    QString message() const { return QString::fromUtf8(what()); }
};
