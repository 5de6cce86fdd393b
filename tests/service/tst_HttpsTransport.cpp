// The client's calls over HTTPS against the real service with an authority made at test
// time: trusted through ca.pem in the configuration folder, refused (with the subscriber's
// message, and nothing sent) otherwise.
#include "CertificateRefused.h"
#include "CertificateTrust.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"
#include "TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <memory>

class tst_HttpsTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    // Refusals first: a connection the client verified earlier would be reused.
    void untrustedCertificateRefused_data();
    void untrustedCertificateRefused();
    void trustedThroughConfigurationFolder();
    void webViewChainCheckedAgainstExtraAuthorities();

private:
    QString ownAuthorityFile() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
               QStringLiteral("/ca.pem");
    }
    bool trust(const QString &authorityFile)
    {
        QDir().mkpath(QFileInfo(ownAuthorityFile()).path());
        QFile::remove(ownAuthorityFile());
        return authorityFile.isEmpty() || QFile::copy(authorityFile, ownAuthorityFile());
    }

    std::unique_ptr<TestCertificates> authority;
    std::unique_ptr<TestCertificates> stranger;
    std::unique_ptr<ServiceFixture> service;
};

void tst_HttpsTransport::initTestCase()
{
    // The configuration folder is a test one of its own, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    authority = std::make_unique<TestCertificates>();
    QVERIFY2(authority->issue("server", "service"), qPrintable(authority->errorString()));
    stranger = std::make_unique<TestCertificates>(QStringLiteral("Some Other CA"));
    QVERIFY2(stranger->isValid(), qPrintable(stranger->errorString()));
    service =
        std::make_unique<ServiceFixture>(true, QStringList{"--tls-cert", authority->certificateFile("server"),
                                                           "--tls-key", authority->keyFile("server")});
    QVERIFY2(service->isRunning(), qPrintable(service->errorString()));
    QVERIFY(service->endpoint().startsWith("https://127.0.0.1:"));
}

void tst_HttpsTransport::cleanup()
{
    QFile::remove(ownAuthorityFile());
}

void tst_HttpsTransport::trustedThroughConfigurationFolder()
{
    QVERIFY(trust(authority->authorityFile()));
    auto proxy = ServiceClient::GetWebServiceSoap(service->endpoint());
    QCOMPARE(proxy->yanzheng("demo", "demo"), QStringLiteral("true"));
    // The public level's counters: three stock alerts of level 3 in the demo data.
    QVERIFY(proxy->ifchangetable(3).startsWith("3,"));
}

void tst_HttpsTransport::untrustedCertificateRefused_data()
{
    QTest::addColumn<bool>("strangersAuthority"); // false: no ca.pem, the system's store alone
    QTest::newRow("system store only") << false;
    QTest::newRow("another authority in ca.pem") << true;
}

void tst_HttpsTransport::untrustedCertificateRefused()
{
    QFETCH(bool, strangersAuthority);
    QVERIFY(trust(strangersAuthority ? stranger->authorityFile() : QString()));
    auto proxy = ServiceClient::GetWebServiceSoap(service->endpoint());
    QString message;
    try {
        proxy->yanzheng("demo", "demo");
    } catch (const CertificateRefused &refused) {
        message = refused.message();
    }
    QVERIFY2(message.contains(QStringLiteral("127.0.0.1")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("证书的签发机构不受信任")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("没有向它发送任何信息")), qPrintable(message));
    // The service saw a refused handshake and no call at all.
    QTRY_VERIFY(service->serverLog().contains(" 127.0.0.1 - - - 400 "));
    QVERIFY2(!service->serverLog().contains("yanzheng"), qPrintable(service->serverLog()));
}

void tst_HttpsTransport::webViewChainCheckedAgainstExtraAuthorities()
{
    QFile file(authority->certificateFile("server"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray pem = file.readAll();
    // DER of the server's certificate, as the web view hands it over.
    QByteArray body = pem.mid(pem.indexOf('\n') + 1);
    body.truncate(body.indexOf("-----END"));
    const QList<QByteArray> chain{QByteArray::fromBase64(body.replace('\n', ""))};

    QVERIFY(!CertificateTrust::verifiedByExtraAuthorities(chain, "127.0.0.1")); // nothing extra yet
    QVERIFY(trust(stranger->authorityFile()));
    QVERIFY(!CertificateTrust::verifiedByExtraAuthorities(chain, "127.0.0.1"));
    QVERIFY(trust(authority->authorityFile()));
    QVERIFY(CertificateTrust::verifiedByExtraAuthorities(chain, "127.0.0.1"));
    QVERIFY(CertificateTrust::verifiedByExtraAuthorities(chain, "localhost"));
    QVERIFY(!CertificateTrust::verifiedByExtraAuthorities(chain, "alerts.example.com"));
    QVERIFY(!CertificateTrust::verifiedByExtraAuthorities({QByteArray("not a certificate")}, "127.0.0.1"));
}

QTEST_GUILESS_MAIN(tst_HttpsTransport)
#include "tst_HttpsTransport.moc"
