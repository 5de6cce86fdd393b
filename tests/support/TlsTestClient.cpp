#include "TlsTestClient.h"

#include "LoopbackSocket.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TlsTestClient::TlsTestClient(quint16 port, const QString &authorityFile, const char *source,
                             int highestVersion)
    : port_(port)
{
    // A refused connection is closed under the handshake; its write must fail, not end the test.
    std::signal(SIGPIPE, SIG_IGN);
    context_ = SSL_CTX_new(TLS_client_method());
    if (highestVersion) {
        // Old protocol versions are below OpenSSL's default security level on the client
        // side too; level 0 lets this client offer them, so the service is what refuses.
        SSL_CTX_set_security_level(context_, 0);
        SSL_CTX_set_min_proto_version(context_, TLS1_VERSION);
        SSL_CTX_set_max_proto_version(context_, highestVersion);
    }
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    if (SSL_CTX_load_verify_locations(context_, QFile::encodeName(authorityFile).constData(), nullptr) != 1) {
        fail(QStringLiteral("cannot read ") + authorityFile);
        return;
    }
    // Reads are bounded, so a test fails instead of hanging on a service that never answers.
    fd_ = LoopbackSocket::connectFrom(source, port, {.readTimeoutSeconds = 10});
    if (fd_ < 0) {
        fail(QStringLiteral("cannot connect"));
        return;
    }
    SSL *ssl = SSL_new(context_);
    SSL_set_fd(ssl, fd_);
    SSL_set1_host(ssl, "127.0.0.1");
    if (SSL_connect(ssl) != 1) {
        SSL_free(ssl);
        fail(QStringLiteral("handshake failed"));
        return;
    }
    ssl_ = ssl;
}

TlsTestClient::~TlsTestClient()
{
    if (ssl_)
        SSL_free(ssl_);
    if (fd_ >= 0)
        ::close(fd_);
    SSL_CTX_free(context_);
}

void TlsTestClient::fail(const QString &what)
{
    unsigned long code = ERR_get_error();
    char reason[256] = {};
    if (code)
        ERR_error_string_n(code, reason, sizeof reason);
    ERR_clear_error();
    error_ = what + (code ? QStringLiteral(": ") + QString::fromLatin1(reason) : QString());
}

QString TlsTestClient::peerCommonName() const
{
    if (!ssl_)
        return {};
    X509 *certificate = SSL_get1_peer_certificate(ssl_);
    if (!certificate)
        return {};
    char name[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, name, sizeof name);
    X509_free(certificate);
    return QString::fromUtf8(name);
}

QByteArray TlsTestClient::get(const QByteArray &path)
{
    if (!ssl_)
        return {};
    QByteArray request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port_) + "\r\n\r\n";
    if (SSL_write(ssl_, request.constData(), int(request.size())) != request.size())
        return {};
    QByteArray answer;
    return readAnswer(answer) ? answer : QByteArray();
}

// Reads one answer framed by its Content-Length.
bool TlsTestClient::readAnswer(QByteArray &answer)
{
    qsizetype wanted = -1;
    while (wanted < 0 || answer.size() < wanted) {
        char chunk[4096];
        int n = SSL_read(ssl_, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        answer.append(chunk, n);
        qsizetype headEnd = answer.indexOf("\r\n\r\n");
        if (wanted < 0 && headEnd >= 0) {
            qsizetype field = answer.toLower().indexOf("\r\ncontent-length:");
            if (field < 0 || field > headEnd)
                return false;
            qsizetype valueStart = field + 17;
            wanted = headEnd + 4 +
                     answer.mid(valueStart, answer.indexOf("\r\n", valueStart) - valueStart)
                         .trimmed()
                         .toLongLong();
        }
    }
    return true;
}
