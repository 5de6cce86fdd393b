#pragma once

#include <QByteArray>
#include <QString>

#include <openssl/ssl.h>

// One TLS connection to a local service from a chosen loopback address, verified against a
// given authority file, kept open for several requests: what an HTTPS library would hide
// (which certificate this very connection got, whether it stays open across a reload).
class TlsTestClient
{
public:
    // highestVersion: e.g. TLS1_1_VERSION to offer nothing newer; 0 for OpenSSL's default.
    TlsTestClient(quint16 port, const QString &authorityFile, const char *source = "127.0.0.1",
                  int highestVersion = 0);
    ~TlsTestClient();
    TlsTestClient(const TlsTestClient &) = delete;
    TlsTestClient &operator=(const TlsTestClient &) = delete;

    // Whether the handshake succeeded and the certificate verified.
    bool isConnected() const { return ssl_ != nullptr; }
    QString errorString() const { return error_; }
    // The common name of the certificate this connection was given.
    QString peerCommonName() const;

    // A GET on this connection, keeping it open; the whole answer (head and body), or an
    // empty array when the connection failed or closed.
    QByteArray get(const QByteArray &path);

private:
    bool readAnswer(QByteArray &answer);
    void fail(const QString &what);

    quint16 port_;
    int fd_ = -1;
    SSL_CTX *context_ = nullptr;
    SSL *ssl_ = nullptr;
    QString error_;
};
