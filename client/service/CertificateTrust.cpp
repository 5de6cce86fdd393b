#include "CertificateTrust.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

struct StoreDeleter
{
    void operator()(X509_STORE *store) const { X509_STORE_free(store); }
};
struct ContextDeleter
{
    void operator()(X509_STORE_CTX *context) const { X509_STORE_CTX_free(context); }
};
struct ChainDeleter
{
    void operator()(STACK_OF(X509) * chain) const { sk_X509_pop_free(chain, X509_free); }
};

X509 *fromDer(const QByteArray &der)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(der.constData());
    return d2i_X509(nullptr, &bytes, long(der.size()));
}

void loadInto(X509_STORE *store)
{
    for (const QString &file : CertificateTrust::extraAuthorityFiles())
        X509_STORE_load_file(store, QFile::encodeName(file).constData());
}

} // namespace

QStringList CertificateTrust::extraAuthorityFiles()
{
    QStringList files;
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/service-ca.pem");
    const QString own =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/ca.pem");
    for (const QString &file : {installed, own})
        if (QFileInfo(file).isFile())
            files << file;
    return files;
}

void CertificateTrust::addExtraAuthorities(ssl_ctx_st *context)
{
    loadInto(SSL_CTX_get_cert_store(context));
}

bool CertificateTrust::verifiedByExtraAuthorities(const QList<QByteArray> &derChain, const QString &host)
{
    if (derChain.isEmpty() || extraAuthorityFiles().isEmpty())
        return false;
    std::unique_ptr<X509_STORE, StoreDeleter> store(X509_STORE_new());
    loadInto(store.get());
    std::unique_ptr<STACK_OF(X509), ChainDeleter> chain(sk_X509_new_null());
    for (const QByteArray &der : derChain) {
        X509 *certificate = fromDer(der);
        if (!certificate)
            return false;
        sk_X509_push(chain.get(), certificate);
    }
    std::unique_ptr<X509_STORE_CTX, ContextDeleter> context(X509_STORE_CTX_new());
    if (!X509_STORE_CTX_init(context.get(), store.get(), sk_X509_value(chain.get(), 0), chain.get()))
        return false;
    X509_VERIFY_PARAM *parameters = X509_STORE_CTX_get0_param(context.get());
    const QByteArray name = host.toUtf8();
    // An address is checked against the certificate's addresses, a name against its names.
    bool named = X509_VERIFY_PARAM_set1_ip_asc(parameters, name.constData()) == 1 ||
                 X509_VERIFY_PARAM_set1_host(parameters, name.constData(), size_t(name.size())) == 1;
    X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
    return named && X509_verify_cert(context.get()) == 1;
}

QString CertificateTrust::reason(long verificationResult, const QString &detail)
{
    switch (verificationResult) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
        return QStringLiteral("证书的签发机构不受信任");
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QStringLiteral("证书已过期");
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QStringLiteral("证书尚未生效");
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QStringLiteral("证书不属于这台服务器");
    case X509_V_ERR_CERT_REVOKED:
        return QStringLiteral("证书已被吊销");
    default:
        return QStringLiteral("证书无法验证（%1）").arg(detail);
    }
}
