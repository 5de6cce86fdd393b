#pragma once

#include <QString>
#include <QTemporaryDir>

// A certificate authority of its own and server certificates it issues, made with the
// openssl command in a temporary directory, for tests of HTTPS. Server certificates hold
// 127.0.0.1 and localhost. EC keys: quick to make on a busy machine.
//
//     TestCertificates authority;
//     QVERIFY2(authority.issue("server", "first"), qPrintable(authority.errorString()));
//     ServiceFixture service(true, {"--tls-cert", authority.certificateFile("server"),
//                                   "--tls-key", authority.keyFile("server")});
class TestCertificates
{
public:
    explicit TestCertificates(const QString &authorityName = QStringLiteral("Stock Alert Test CA"));

    bool isValid() const { return error_.isEmpty(); }
    QString errorString() const { return error_; }

    // The authority's certificate (PEM), to be trusted by a client.
    QString authorityFile() const;
    // Issues name.pem and name.key for a server named commonName; false on failure.
    bool issue(const QString &name, const QString &commonName);
    QString certificateFile(const QString &name) const;
    QString keyFile(const QString &name) const;
    QString directory() const { return dir_.path(); }

private:
    bool openssl(const QStringList &arguments);

    QTemporaryDir dir_;
    QString error_;
};
