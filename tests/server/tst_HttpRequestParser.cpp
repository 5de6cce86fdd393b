// The request parser on its own: what it refuses, with which status, and what it keeps.
#include "http/HttpRequestParser.h"

#include <QTest>

#include <boost/beast/http/error.hpp>

namespace {

struct Outcome
{
    int status = 0; // 0: read whole, else the refusal
    HttpRequest request;
};

// Offers the bytes as a connection would, a few at a time, with what was not used yet
// offered again together with the next bytes.
Outcome parse(const QByteArray &bytes, HttpRequestParser::Limits limits = {}, BodyBudget *budget = nullptr)
{
    HttpRequestParser parser(limits, budget);
    boost::beast::error_code error;
    qsizetype offset = 0, window = 7;
    while (!parser.is_done()) {
        qsizetype available = std::min(bytes.size() - offset, window);
        std::size_t used =
            parser.put(boost::asio::buffer(bytes.constData() + offset, std::size_t(available)), error);
        offset += qsizetype(used);
        if (error == boost::beast::http::error::need_more) {
            if (used == 0 && available == bytes.size() - offset)
                break; // all offered, and still incomplete
            window += 7;
            error = {};
            continue;
        }
        if (error)
            return {HttpRequestParser::refusalStatus(error), parser.request()};
    }
    return {parser.is_done() ? 0 : -1, parser.request()};
}

QByteArray post(const QByteArray &headers, const QByteArray &body)
{
    return "POST /WebService.asmx HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n" + body;
}

} // namespace

class tst_HttpRequestParser : public QObject
{
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void limits_data();
    void limits();
    void fieldsKeptAsSent();
    void query_data();
    void query();
    void bodiesShareOneBudget_data();
    void bodiesShareOneBudget();
};

void tst_HttpRequestParser::framing_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("Content-Length") << post("Content-Length: 5\r\n", "hello") << 0 << QByteArray("hello");
    QTest::newRow("chunked") << post("Transfer-Encoding: chunked\r\n", "2\r\nhe\r\n3\r\nllo\r\n0\r\n\r\n")
                             << 0 << QByteArray("hello");
    QTest::newRow("chunked in capitals")
        << post("Transfer-Encoding:  CHUNKED \r\n", "5\r\nhello\r\n0\r\n\r\n") << 0 << QByteArray("hello");
    QTest::newRow("no body") << QByteArray("GET /IP.aspx HTTP/1.1\r\nHost: x\r\n\r\n") << 0 << QByteArray();
    QTest::newRow("second Content-Length, same value")
        << post("Content-Length: 5\r\nContent-Length: 5\r\n", "hello") << 400 << QByteArray();
    QTest::newRow("Content-Length list")
        << post("Content-Length: 5, 5\r\n", "hello") << 0 << QByteArray("hello");
    QTest::newRow("chunked, identity")
        << post("Transfer-Encoding: chunked, identity\r\nContent-Length: 5\r\n", "hello") << 400
        << QByteArray();
    QTest::newRow("identity, chunked")
        << post("Transfer-Encoding: identity, chunked\r\n", "5\r\nhello\r\n0\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("gzip") << post("Transfer-Encoding: gzip\r\nContent-Length: 5\r\n", "hello") << 400
                          << QByteArray();
    QTest::newRow("chunked twice") << post("Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n",
                                           "5\r\nhello\r\n0\r\n\r\n")
                                   << 400 << QByteArray();
    QTest::newRow("Content-Length, then chunked")
        << post("Content-Length: 5\r\nTransfer-Encoding: chunked\r\n", "5\r\nhello\r\n0\r\n\r\n") << 400
        << QByteArray();
    QTest::newRow("chunked, then Content-Length")
        << post("Transfer-Encoding: chunked\r\nContent-Length: 5\r\n", "5\r\nhello\r\n0\r\n\r\n") << 400
        << QByteArray();
    QTest::newRow("Content-Length not a number")
        << post("Content-Length: 5x\r\n", "hello") << 400 << QByteArray();
    QTest::newRow("blank in a field name") << post("Content Length: 5\r\n", "hello") << 400 << QByteArray();
    QTest::newRow("status line instead of request")
        << QByteArray("HTTP/1.1 200 OK\r\n\r\n") << 400 << QByteArray();
}

void tst_HttpRequestParser::framing()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    Outcome outcome = parse(request);
    QCOMPARE(outcome.status, status);
    if (status == 0)
        QCOMPARE(QByteArray::fromStdString(outcome.request.body), body);
}

void tst_HttpRequestParser::limits_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    auto fields = [](int count) {
        QByteArray head = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < count; ++i)
            head += "X-F: v\r\n";
        return head + "\r\n";
    };
    QTest::newRow("100 fields") << fields(100) << 0;
    QTest::newRow("101 fields") << fields(101) << 431;
    QTest::newRow("head of 16 KB and more")
        << "GET / HTTP/1.1\r\nX-Big: " + QByteArray(16 * 1024, 'v') + "\r\n\r\n"
        << 431;
    QTest::newRow("head never ends") << "GET / HTTP/1.1\r\nX-Big: " + QByteArray(64 * 1024, 'v') << 431;
    QTest::newRow("body of 64 KiB") << post("Content-Length: 65536\r\n", QByteArray(65536, 'b')) << 0;
    // Refused from the announced length, with no byte of the body there.
    QTest::newRow("body announced over 64 KiB") << post("Content-Length: 65537\r\n", "") << 413;
    QTest::newRow("chunked body over 64 KiB")
        << post("Transfer-Encoding: chunked\r\n", "10001\r\n" + QByteArray(0x10001, 'b') + "\r\n0\r\n\r\n")
        << 413;
}

void tst_HttpRequestParser::limits()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    Outcome outcome = parse(request);
    QCOMPARE(outcome.status, status);
    QVERIFY(outcome.request.headers.size() <= 100);
}

void tst_HttpRequestParser::fieldsKeptAsSent()
{
    Outcome outcome =
        parse("GET /GongGaoXinXi.aspx?a=1 HTTP/1.0\r\nSOAPAction:  \"x\" \r\nX-Forwarded-For: 1.2.3.4\r\n"
              "x-forwarded-for: 5.6.7.8\r\n\r\n");
    QCOMPARE(outcome.status, 0);
    const HttpRequest &request = outcome.request;
    QCOMPARE(QString::fromStdString(request.method), QStringLiteral("GET"));
    QCOMPARE(QString::fromStdString(request.path), QStringLiteral("/GongGaoXinXi.aspx"));
    QCOMPARE(QString::fromStdString(request.target), QStringLiteral("/GongGaoXinXi.aspx?a=1"));
    QCOMPARE(request.version, 10);
    QCOMPARE(QString::fromStdString(request.header("soapaction").value_or("none")), QStringLiteral("\"x\""));
    QCOMPARE(request.headerValues("X-Forwarded-For"), (std::vector<std::string>{"1.2.3.4", "5.6.7.8"}));
    QVERIFY(!request.header("Content-Length"));
}

void tst_HttpRequestParser::query_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("userpas"); // "refused": the query is refused

    QTest::newRow("plain") << "username=a&userpas=b"
                           << "b";
    QTest::newRow("encoded") << "userpas=%E4%BD%A0+%26%2b"
                             << "你 &+";
    QTest::newRow("incomplete escape kept") << "userpas=100%25%2"
                                            << "100%%2";
    QTest::newRow("empty value") << "userpas=&x=1"
                                 << "";
    QTest::newRow("first of two") << "userpas=a&userpas=b"
                                  << "a";
    QTest::newRow("NUL") << "username=demo&userpas=demo%00"
                         << "refused";
    QTest::newRow("NUL inside") << "userpas=Secret%00junk"
                                << "refused";
    QTest::newRow("NUL in a name") << "user%00pas=x"
                                   << "refused";
}

void tst_HttpRequestParser::query()
{
    QFETCH(QString, query);
    QFETCH(QString, userpas);
    auto pairs = decodeQuery(query.toStdString());
    QCOMPARE(pairs ? QString::fromStdString(queryValue(*pairs, "userpas")) : QStringLiteral("refused"),
             userpas);
}

void tst_HttpRequestParser::bodiesShareOneBudget_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("heldElsewhere"); // bytes another request's body holds meanwhile
    QTest::addColumn<int>("status");

    const QByteArray announced = post("Content-Length: 300\r\n", QByteArray(300, 'b'));
    const QByteArray chunked =
        post("Transfer-Encoding: chunked\r\n", "12c\r\n" + QByteArray(300, 'b') + "\r\n0\r\n\r\n");
    QTest::newRow("announced body, room left") << announced << 600 << 0;
    QTest::newRow("announced body, no room left") << announced << 800 << 503;
    QTest::newRow("chunked body, room left") << chunked << 600 << 0;
    QTest::newRow("chunked body, no room left") << chunked << 800 << 503;
    QTest::newRow("no body needs no room") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n") << 1000 << 0;
}

void tst_HttpRequestParser::bodiesShareOneBudget()
{
    QFETCH(QByteArray, request);
    QFETCH(int, heldElsewhere);
    QFETCH(int, status);
    BodyBudget budget(1000);
    QVERIFY(budget.take(std::size_t(heldElsewhere)));
    QCOMPARE(parse(request, {}, &budget).status, status);
    // What the parser took is given back when it ends, and nothing more.
    QCOMPARE(budget.left(), std::size_t(1000 - heldElsewhere));
    budget.give(std::size_t(heldElsewhere));
    QCOMPARE(parse(request, {}, &budget).status, 0);
    QCOMPARE(budget.left(), std::size_t(1000));
}

QTEST_GUILESS_MAIN(tst_HttpRequestParser)
#include "tst_HttpRequestParser.moc"
