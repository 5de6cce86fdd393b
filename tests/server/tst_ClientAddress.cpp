// Whose request it is: the connection's address, or what a trusted proxy forwarded.
#include "http/ClientAddress.h"

#include <QTest>

class tst_ClientAddress : public QObject
{
    Q_OBJECT

private slots:
    void resolve_data();
    void resolve();
    void normalise_data();
    void normalise();
    void trustedProxyMustBeAnAddress();
};

void tst_ClientAddress::resolve_data()
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QStringList>("forwardedFor");
    QTest::addColumn<QString>("expected"); // "refused": the request is refused

    QTest::newRow("direct") << "203.0.113.9" << QStringList{} << "203.0.113.9";
    QTest::newRow("direct, header ignored") << "203.0.113.9" << QStringList{"198.51.100.1"} << "203.0.113.9";
    QTest::newRow("proxy without header") << "10.0.0.1" << QStringList{} << "10.0.0.1";
    QTest::newRow("proxy") << "10.0.0.1" << QStringList{"198.51.100.1"} << "198.51.100.1";
    QTest::newRow("client's own entries left of the proxy's")
        << "10.0.0.1" << QStringList{"1.2.3.4, 5.6.7.8,198.51.100.1"} << "198.51.100.1";
    QTest::newRow("two trusted proxies in a row")
        << "10.0.0.1" << QStringList{"1.2.3.4, 198.51.100.1, 10.0.0.2"} << "198.51.100.1";
    QTest::newRow("two header lines")
        << "10.0.0.1" << QStringList{"1.2.3.4", "198.51.100.1"} << "198.51.100.1";
    QTest::newRow("proxy as IPv4-mapped IPv6 peer")
        << "::ffff:10.0.0.1" << QStringList{"198.51.100.1"} << "198.51.100.1";
    QTest::newRow("IPv6 client, bracketed") << "10.0.0.1" << QStringList{"[2001:DB8::7]"} << "2001:db8::7";
    QTest::newRow("proxy's entry unreadable")
        << "10.0.0.1" << QStringList{"198.51.100.1, unknown"} << "refused";
    QTest::newRow("proxy's entry empty") << "10.0.0.1" << QStringList{"198.51.100.1,"} << "refused";
    QTest::newRow("with a port") << "10.0.0.1" << QStringList{"198.51.100.1:4711"} << "refused";
}

void tst_ClientAddress::resolve()
{
    QFETCH(QString, peer);
    QFETCH(QStringList, forwardedFor);
    QFETCH(QString, expected);
    ClientAddress addresses({"10.0.0.1", "10.0.0.2"});
    std::vector<std::string> headers;
    for (const QString &header : forwardedFor)
        headers.push_back(header.toStdString());
    auto address = addresses.resolve(peer.toStdString(), headers);
    QCOMPARE(address ? QString::fromStdString(*address) : QStringLiteral("refused"), expected);
}

void tst_ClientAddress::normalise_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // empty: not an address
    QTest::newRow("IPv4") << "192.0.2.1"
                          << "192.0.2.1";
    QTest::newRow("IPv6 spelled long") << "2001:0db8:0000:0000:0000:0000:0000:0001"
                                       << "2001:db8::1";
    QTest::newRow("IPv4-mapped") << "::ffff:192.0.2.1"
                                 << "192.0.2.1";
    QTest::newRow("name") << "localhost"
                          << "";
    QTest::newRow("leading zeros") << "192.0.2.01"
                                   << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_ClientAddress::normalise()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    auto address = ClientAddress::normalise(text.toStdString());
    QCOMPARE(address ? QString::fromStdString(*address) : QString(), expected);
}

void tst_ClientAddress::trustedProxyMustBeAnAddress()
{
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, ClientAddress({"proxy.example"}));
    QVERIFY(ClientAddress({"::1"}).trusted("::1"));
    QVERIFY(ClientAddress({"0:0::1"}).trusted("::1"));
}

QTEST_GUILESS_MAIN(tst_ClientAddress)
#include "tst_ClientAddress.moc"
