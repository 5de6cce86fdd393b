#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct ssl_ctx_st;

// Which certificate authorities the client trusts for HTTPS: the system's store, and for a
// private deployment an authority installed beside the program (service-ca.pem, named at
// build time with SERVICE_CA_FILE) or placed by the subscriber in the configuration folder
// (ca.pem). There is deliberately no way to trust a certificate that does not verify.
class CertificateTrust
{
public:
    // The extra authority files that exist now.
    static QStringList extraAuthorityFiles();
    // Adds the extra authorities to an OpenSSL context whose store already holds the system's.
    static void addExtraAuthorities(ssl_ctx_st *context);
    // Whether a chain (DER, the server's certificate first) verifies for host against the
    // extra authorities alone, names and dates included. For the web view, whose store cannot
    // be given more authorities: it asks about a certificate it could not verify itself.
    static bool verifiedByExtraAuthorities(const QList<QByteArray> &derChain, const QString &host);
    // Why a certificate was refused, for the subscriber: OpenSSL's verification result
    // (X509_V_ERR_...), with detail for the rare reason that has no words of its own.
    static QString reason(long verificationResult, const QString &detail);
};
