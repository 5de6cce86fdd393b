// The service over HTTPS with certificates made at test time: answers, refusals, the reload
// of a renewed certificate, and the limits of the front end for connections that speak TLS.
#include "ServiceFixture.h"
#include "TestCertificates.h"
#include "TlsTestClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <memory>
#include <vector>

namespace {

bool copyOver(const QString &from, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

// A plain TCP connection from a chosen loopback address.
std::unique_ptr<QTcpSocket> plainConnection(quint16 port, const char *source)
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->bind(QHostAddress(QString::fromLatin1(source))))
        return nullptr;
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(5000))
        return nullptr;
    return socket;
}

} // namespace

class tst_ServiceTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void answersOnKeptConnection();
    void protocolVersions_data();
    void protocolVersions();
    void unknownAuthorityNotTrusted();
    void plainHttpRefused();
    void unfinishedHandshakeCutAtDeadline();
    void connectionsCappedPerAddress();
    void reloadOnHangUp();

private:
    QString liveCertificate() const { return authority->directory() + QStringLiteral("/live.pem"); }
    QString liveKey() const { return authority->directory() + QStringLiteral("/live.key"); }
    bool waitForLogLine(const QString &text);

    std::unique_ptr<TestCertificates> authority;
    std::unique_ptr<ServiceFixture> service;
};

void tst_ServiceTls::initTestCase()
{
    authority = std::make_unique<TestCertificates>();
    QVERIFY2(authority->issue("first", "first"), qPrintable(authority->errorString()));
    QVERIFY2(authority->issue("second", "second"), qPrintable(authority->errorString()));
    // The service reads these two paths; a renewal writes new files over them.
    QVERIFY(copyOver(authority->certificateFile("first"), liveCertificate()));
    QVERIFY(copyOver(authority->keyFile("first"), liveKey()));
    service =
        std::make_unique<ServiceFixture>(true, QStringList{"--tls-cert", liveCertificate(), "--tls-key",
                                                           liveKey(), "--max-connections-per-address", "3"});
    QVERIFY2(service->isRunning(), qPrintable(service->errorString()));
    QVERIFY(service->host().startsWith("https://"));
}

void tst_ServiceTls::cleanupTestCase()
{
    service.reset();
    authority.reset();
}

bool tst_ServiceTls::waitForLogLine(const QString &text)
{
    QDeadlineTimer deadline(10000);
    while (!service->serverLog().contains(text)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

void tst_ServiceTls::answersOnKeptConnection()
{
    TlsTestClient client(service->port(), authority->authorityFile(), "127.0.0.2");
    QVERIFY2(client.isConnected(), qPrintable(client.errorString()));
    for (int i = 0; i < 3; ++i) {
        QByteArray answer = client.get("/IP.aspx");
        QVERIFY2(answer.startsWith("HTTP/1.1 200 "), answer.constData());
        QVERIFY(answer.endsWith("\r\n\r\n127.0.0.2"));
    }
    QByteArray wsdl = client.get("/WebService.asmx?wsdl");
    QVERIFY(wsdl.startsWith("HTTP/1.1 200 "));
    // The service names its own address with the scheme it answers on.
    QVERIFY(wsdl.contains("location=\"" + service->host().toUtf8() + "/WebService.asmx\""));
}

void tst_ServiceTls::protocolVersions_data()
{
    QTest::addColumn<int>("highestVersion");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("TLS 1.0") << int(TLS1_VERSION) << false;
    QTest::newRow("TLS 1.1") << int(TLS1_1_VERSION) << false;
    QTest::newRow("TLS 1.2") << int(TLS1_2_VERSION) << true;
    QTest::newRow("TLS 1.3") << int(TLS1_3_VERSION) << true;
}

void tst_ServiceTls::protocolVersions()
{
    QFETCH(int, highestVersion);
    QFETCH(bool, accepted);
    TlsTestClient client(service->port(), authority->authorityFile(), "127.0.0.3", highestVersion);
    QCOMPARE(client.isConnected(), accepted);
    if (accepted)
        QVERIFY(client.get("/IP.aspx").startsWith("HTTP/1.1 200 "));
}

void tst_ServiceTls::unknownAuthorityNotTrusted()
{
    TestCertificates stranger(QStringLiteral("Some Other CA"));
    QVERIFY2(stranger.isValid(), qPrintable(stranger.errorString()));
    TlsTestClient client(service->port(), stranger.authorityFile(), "127.0.0.3");
    QVERIFY(!client.isConnected());
    QVERIFY2(client.errorString().contains("certificate verify failed"), qPrintable(client.errorString()));
}

void tst_ServiceTls::plainHttpRefused()
{
    auto socket = plainConnection(service->port(), "127.0.0.7");
    QVERIFY(socket);
    socket->write("GET /IP.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QVERIFY(socket->waitForBytesWritten(5000));
    // The service closes without a word in clear: no HTTP answer at all.
    QByteArray received;
    QDeadlineTimer deadline(10000);
    while (socket->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket->waitForReadyRead(100);
        received += socket->readAll();
    }
    received += socket->readAll();
    QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    QVERIFY2(!received.contains("HTTP/"), received.constData());
    QVERIFY(waitForLogLine(" 127.0.0.7 - - - 400 "));
}

void tst_ServiceTls::unfinishedHandshakeCutAtDeadline()
{
    auto socket = plainConnection(service->port(), "127.0.0.4");
    QVERIFY(socket);
    // A TLS record header announcing a 512-byte handshake message, then one byte every half
    // second: each read is quick, the handshake never completes.
    socket->write(QByteArray::fromHex("1603010200"));
    QElapsedTimer trickling;
    trickling.start();
    while (socket->state() == QAbstractSocket::ConnectedState && trickling.elapsed() < 20000) {
        socket->write(QByteArray(1, '\0'));
        socket->waitForBytesWritten(500);
        socket->waitForDisconnected(500);
    }
    QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    // The deadline is 5 s; the bound leaves room for a loaded machine.
    QVERIFY2(trickling.elapsed() < 12000, qPrintable(QString::number(trickling.elapsed())));
    QVERIFY(waitForLogLine(" 127.0.0.4 - - - 408 "));
}

void tst_ServiceTls::connectionsCappedPerAddress()
{
    std::vector<std::unique_ptr<TlsTestClient>> open;
    for (int i = 0; i < 3; ++i) {
        open.push_back(
            std::make_unique<TlsTestClient>(service->port(), authority->authorityFile(), "127.0.0.6"));
        QVERIFY2(open.back()->isConnected(), qPrintable(open.back()->errorString()));
    }
    TlsTestClient refused(service->port(), authority->authorityFile(), "127.0.0.6");
    QVERIFY(!refused.isConnected());
    QVERIFY(waitForLogLine(" 127.0.0.6 - - - 503 "));
    // Another address is not affected, and a closed connection frees its slot.
    TlsTestClient other(service->port(), authority->authorityFile(), "127.0.0.8");
    QVERIFY2(other.isConnected(), qPrintable(other.errorString()));
    open.pop_back();
    bool reconnected = false;
    for (QDeadlineTimer deadline(10000); !reconnected && !deadline.hasExpired(); QTest::qWait(50))
        reconnected = TlsTestClient(service->port(), authority->authorityFile(), "127.0.0.6").isConnected();
    QVERIFY(reconnected);
}

void tst_ServiceTls::reloadOnHangUp()
{
    TlsTestClient before(service->port(), authority->authorityFile(), "127.0.0.5");
    QVERIFY2(before.isConnected(), qPrintable(before.errorString()));
    QCOMPARE(before.peerCommonName(), QStringLiteral("first"));
    QVERIFY(before.get("/IP.aspx").startsWith("HTTP/1.1 200 "));

    QVERIFY(copyOver(authority->certificateFile("second"), liveCertificate()));
    QVERIFY(copyOver(authority->keyFile("second"), liveKey()));
    QVERIFY(service->sendSignal(SIGHUP));
    QVERIFY2(waitForLogLine("SIGHUP: reloaded"), qPrintable(service->serverLog()));

    TlsTestClient after(service->port(), authority->authorityFile(), "127.0.0.5");
    QVERIFY2(after.isConnected(), qPrintable(after.errorString()));
    QCOMPARE(after.peerCommonName(), QStringLiteral("second"));
    QVERIFY(after.get("/IP.aspx").startsWith("HTTP/1.1 200 "));
    // The connection made before the reload is still open and still answered.
    QVERIFY(before.get("/IP.aspx").startsWith("HTTP/1.1 200 "));

    // A key that does not fit the certificate is refused; the certificate in use stays.
    QVERIFY(copyOver(authority->keyFile("first"), liveKey()));
    QVERIFY(service->sendSignal(SIGHUP));
    QVERIFY2(waitForLogLine("SIGHUP: kept the certificate in use"), qPrintable(service->serverLog()));
    TlsTestClient afterBadReload(service->port(), authority->authorityFile(), "127.0.0.5");
    QVERIFY2(afterBadReload.isConnected(), qPrintable(afterBadReload.errorString()));
    QCOMPARE(afterBadReload.peerCommonName(), QStringLiteral("second"));
    QVERIFY(service->isRunning());
}

QTEST_GUILESS_MAIN(tst_ServiceTls)
#include "tst_ServiceTls.moc"
