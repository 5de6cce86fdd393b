// The service on the wire, with raw HTTP requests: answer and fault shapes, bad input, the
// pages it serves. None of the bad requests may crash it or change data.
#include "ClientStatements.h"
#include "RawConnection.h"
#include "ServiceFixture.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <httplib.h>

#include <arpa/inet.h>
#include <chrono>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char *const envelopeNs = "http://schemas.xmlsoap.org/soap/envelope/";

std::string envelope(const std::string &operation, const std::string &parameters,
                     const std::string &prefix = "soap")
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><" + prefix + ":Envelope xmlns:" + prefix + "=\"" +
           envelopeNs + "\"><" + prefix + ":Body><" + operation + " xmlns=\"http://tempuri.org/\">" +
           parameters + "</" + operation + "></" + prefix + ":Body></" + prefix + ":Envelope>";
}

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

QByteArray soapPost(const std::string &operation, const std::string &parameters,
                    const QByteArray &extraHeaders = {})
{
    QByteArray body = QByteArray::fromStdString(envelope(operation, parameters));
    return "POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml; "
           "charset=utf-8\r\nSOAPAction: "
           "\"http://tempuri.org/" +
           QByteArray::fromStdString(operation) + "\"\r\n" + extraHeaders +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

QString statusLine(const QByteArray &answer)
{
    return QString::fromLatin1(answer.left(answer.indexOf("\r\n")));
}

} // namespace

class tst_ServiceHttp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void answerShape();
    void otherEnvelopePrefixesAccepted();
    void badRequests_data();
    void badRequests();
    void oversizedBodyRefused();
    void helpPageAndWsdl();
    void callerAddress();
    void healthAndReadiness_data();
    void healthAndReadiness();
    void insiderPage_data();
    void insiderPage();
    void demoPages();
    void logHasNoSecrets();
    void jsonLogHasNoSecrets();
    void forwardedFor_data();
    void forwardedFor();
    void forwardedScheme_data();
    void forwardedScheme();
    void accountTakeoverRefused();
    void nulRefused_data();
    void nulRefused();
    void ambiguousFramingRefused_data();
    void ambiguousFramingRefused();
    void oversizedHeadRefused_data();
    void oversizedHeadRefused();
    void millionHeadersRefusedEarly();
    void announcedBodyTooLargeRefusedAtOnce();
    void slowHeadCutAtDeadline();
    void continueBeforeBody();
    void pipelinedRequestsAnsweredInOrder();
    void connectionsCappedPerAddress();
    void loginSlowdownPerAddress();

private:
    httplib::Result post(const std::string &action, const std::string &body,
                         const std::string &contentType = "text/xml; charset=\"utf-8\"")
    {
        httplib::Headers headers;
        if (!action.empty())
            headers.emplace("SOAPAction", action);
        return client->Post("/WebService.asmx", headers, body, contentType.c_str());
    }
    QList<QStringList> dataSnapshot() const
    {
        return service->querySql(
            "SELECT (SELECT count(*) FROM UserTable), (SELECT group_concat(userpas) FROM "
            "UserTable), (SELECT count(*) FROM userdl), (SELECT count(*) FROM NewUser), "
            "(SELECT group_concat(added || '/' || revised) FROM ChangeCounter)");
    }

    // The service behind a proxy at 127.0.0.1 that the operator trusts.
    ServiceFixture &proxied()
    {
        if (!proxiedService)
            proxiedService =
                std::make_unique<ServiceFixture>(true, QStringList{"--trusted-proxy", "127.0.0.1"});
        return *proxiedService;
    }
    // A call through the trusted proxy on behalf of a client at address.
    QString forwardedCall(const std::string &address, const std::string &operation,
                          const std::string &parameters)
    {
        httplib::Client proxy("127.0.0.1", proxied().port());
        proxy.set_read_timeout(30, 0);
        httplib::Headers headers{{"SOAPAction", "\"http://tempuri.org/" + operation + "\""},
                                 {"X-Forwarded-For", address}};
        auto res = proxy.Post("/WebService.asmx", headers, envelope(operation, parameters),
                              "text/xml; charset=utf-8");
        if (!res)
            return "no answer";
        const QRegularExpression result("<" + text(operation) + "Result>(.*)</" + text(operation) +
                                        "Result>");
        auto match = result.match(text(res->body));
        return match.hasMatch() ? match.captured(1) : QString::number(res->status) + " " + text(res->body);
    }

    std::unique_ptr<ServiceFixture> service;
    std::unique_ptr<ServiceFixture> proxiedService;
    std::unique_ptr<httplib::Client> client;
};

void tst_ServiceHttp::initTestCase()
{
    service = std::make_unique<ServiceFixture>();
    QVERIFY2(service->isRunning(), qPrintable(service->errorString()));
    client = std::make_unique<httplib::Client>("127.0.0.1", service->port());
    client->set_read_timeout(30, 0);
}

void tst_ServiceHttp::cleanupTestCase()
{
    client.reset();
    service.reset();
    proxiedService.reset();
}

void tst_ServiceHttp::answerShape()
{
    auto res = post("\"http://tempuri.org/yanzheng\"",
                    envelope("yanzheng", "<username>demo</username><userpass>demo</userpass>"));
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QCOMPARE(text(res->get_header_value("Content-Type")), QStringLiteral("text/xml; charset=utf-8"));
    QCOMPARE(text(res->body),
             QStringLiteral(
                 "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                 "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                 "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                 "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body><yanzhengResponse "
                 "xmlns=\"http://tempuri.org/\"><yanzhengResult>true</yanzhengResult></yanzhengResponse>"
                 "</soap:Body></soap:Envelope>"));

    // A result document travels as escaped text, CR LF line ends kept as references. (With
    // tiering on and nobody signed in, the newest item shown is the newest public one.)
    res = post(
        "\"http://tempuri.org/hqsametable\"",
        envelope("hqsametable", "<strsql>" + ClientStatements::latestAlerts({}).toStdString() + "</strsql>"));
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QVERIFY2(text(res->body).contains("<hqsametableResult>&lt;NewDataSet&gt;&#xD;\n  &lt;Table&gt;&#xD;\n    "
                                      "&lt;id&gt;5&lt;/id&gt;"),
             res->body.c_str());
}

void tst_ServiceHttp::otherEnvelopePrefixesAccepted()
{
    for (const std::string prefix : {"SOAP-ENV", "soap11env", "s"}) {
        auto res = post("http://tempuri.org/addition", envelope("addition", "<i>1.5</i><j>2</j>", prefix));
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        QVERIFY2(text(res->body).contains("<additionResult>3.5</additionResult>"), res->body.c_str());
    }
}

void tst_ServiceHttp::badRequests_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("faultCode");
    QTest::addColumn<QString>("faultString"); // a regular expression

    const QString xml = "text/xml; charset=utf-8";
    QTest::newRow("not well-formed") << "\"http://tempuri.org/hqSys_pz\"" << xml
                                     << "<soap:Envelope xmlns:soap=\"x\"><soap:Body>" << 400 << ""
                                     << "";
    QTest::newRow("empty body") << "\"http://tempuri.org/hqSys_pz\"" << xml << "" << 400 << ""
                                << "";
    QTest::newRow("wrong parameter type")
        << "\"http://tempuri.org/ifchangetable\"" << xml
        << text(envelope("ifchangetable", "<userdj>zwei</userdj>")) << 500 << "soap:Client"
        << "^Server was unable to read request\\. ---> .*userdj.*zwei";
    QTest::newRow("integer out of range")
        << "\"http://tempuri.org/ifchangetable\"" << xml
        << text(envelope("ifchangetable", "<userdj>2147483648</userdj>")) << 500 << "soap:Client"
        << "^Server was unable to read request\\. ---> ";
    QTest::newRow("missing parameter")
        << "\"http://tempuri.org/zhixing\"" << xml << text(envelope("zhixing", "")) << 500 << "soap:Client"
        << "^Server was unable to read request\\. ---> .*sql";
    QTest::newRow("unknown operation")
        << "\"http://tempuri.org/dropAll\"" << xml << text(envelope("dropAll", "")) << 500 << "soap:Client"
        << "^Server did not recognize the value of HTTP Header SOAPAction: "
           "\"http://tempuri\\.org/dropAll\"\\.$";
    QTest::newRow("no SOAPAction") << "" << xml << text(envelope("hqSys_pz", "")) << 500 << "soap:Client"
                                   << "^Server did not recognize the value of HTTP Header SOAPAction: \\.$";
    QTest::newRow("SOAPAction and body disagree")
        << "\"http://tempuri.org/yanzheng\"" << xml
        << text(envelope("zhixing", "<sql>delete from userdl where userid=1</sql>")) << 500 << "soap:Client"
        << "^Server was unable to read request\\. ---> ";
    QTest::newRow("body in another namespace")
        << "\"http://tempuri.org/hqSys_pz\"" << xml
        << "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><hqSys_pz "
           "xmlns=\"urn:other\"/></soap:Body></soap:Envelope>"
        << 500 << "soap:Client"
        << "^Server was unable to read request\\. ---> ";
    QTest::newRow("not an envelope") << "\"http://tempuri.org/hqSys_pz\"" << xml << "<hqSys_pz/>" << 500
                                     << "soap:Client"
                                     << "^Server was unable to read request\\. ---> ";
    QTest::newRow("form content type") << "\"http://tempuri.org/hqSys_pz\""
                                       << "application/x-www-form-urlencoded"
                                       << "a=b" << 500 << "soap:Client"
                                       << "application/x-www-form-urlencoded";
    QTest::newRow("statement not in the catalogue")
        << "\"http://tempuri.org/zhixing\"" << xml
        << text(envelope("zhixing", "<sql>delete from UserTable</sql>")) << 500 << "soap:Server"
        << "^Server was unable to process request\\. ---> ";
    QTest::newRow("entity expansion")
        << "\"http://tempuri.org/zhixing\"" << xml
        << "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"delete from userdl where userid=1\">]>"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><zhixing "
           "xmlns=\"http://tempuri.org/\"><sql>&e;</sql></zhixing></soap:Body></soap:Envelope>"
        << 400 << ""
        << "";
}

void tst_ServiceHttp::badRequests()
{
    QFETCH(QString, action);
    QFETCH(QString, contentType);
    QFETCH(QString, body);
    QFETCH(int, status);
    QFETCH(QString, faultCode);
    QFETCH(QString, faultString);

    const auto before = dataSnapshot();
    auto res = post(action.toStdString(), body.toStdString(), contentType.toStdString());
    QVERIFY(res);
    QCOMPARE(res->status, status);
    if (status == 400) {
        QCOMPARE(text(res->body), QString());
    } else {
        QCOMPARE(text(res->get_header_value("Content-Type")), QStringLiteral("text/xml; charset=utf-8"));
        const QString answer = text(res->body);
        QVERIFY2(answer.contains("<soap:Fault><faultcode>" + faultCode + "</faultcode><faultstring>"),
                 qPrintable(answer));
        QVERIFY2(answer.contains("</faultstring><detail /></soap:Fault>"), qPrintable(answer));
        static const QRegularExpression fault("<faultstring>(.*)</faultstring>");
        QString string = fault.match(answer).captured(1);
        string.replace("&gt;", ">").replace("&lt;", "<").replace("&amp;", "&");
        QVERIFY2(QRegularExpression(faultString).match(string).hasMatch(), qPrintable(string));
    }
    QCOMPARE(dataSnapshot(), before);
    // Still serving.
    auto after = post("\"http://tempuri.org/jian\"", envelope("jian", "<i>5</i><j>7</j>"));
    QVERIFY(after);
    QVERIFY(text(after->body).contains("<jianResult>-2</jianResult>"));
}

void tst_ServiceHttp::oversizedBodyRefused()
{
    const auto before = dataSnapshot();
    std::string padding(64 * 1024, 'x');
    auto res =
        post("\"http://tempuri.org/zhixing\"",
             envelope("zhixing", "<sql>delete from userdl where userid=1</sql><pad>" + padding + "</pad>"));
    QVERIFY(res);
    QCOMPARE(res->status, 413);
    // Just under the limit is read.
    std::string fits(64 * 1024 - 400, 'x');
    res = post("\"http://tempuri.org/addition\"",
               envelope("addition", "<i>1</i><j>1</j><pad>" + fits + "</pad>"));
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QCOMPARE(dataSnapshot(), before);
}

void tst_ServiceHttp::helpPageAndWsdl()
{
    auto res = client->Get("/WebService.asmx");
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QVERIFY(text(res->get_header_value("Content-Type")).startsWith("text/html"));
    const QStringList operations = {"addition", "yanzheng", "zhixing",     "jian",          "hqSys_pz",
                                    "hqdlyhxx", "hqsfczjl", "hqsametable", "ifchangetable", "hqdlsj"};
    for (const QString &op : operations)
        QVERIFY2(text(res->body).contains("<b>" + op + "</b>"), qPrintable(op));

    res = client->Get("/WebService.asmx?wsdl");
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    const QString wsdl = text(res->body);
    QVERIFY(wsdl.contains("targetNamespace=\"http://tempuri.org/\""));
    QVERIFY(wsdl.contains("<soap:address location=\"" + service->endpoint() + "\" />"));
    // The address is the service's own, whatever Host a caller names.
    auto forged = client->Get("/WebService.asmx?wsdl", {{"Host", "attacker.example"}});
    QVERIFY(forged);
    QVERIFY(text(forged->body).contains("<soap:address location=\"" + service->endpoint() + "\" />"));
    QVERIFY(!text(forged->body).contains("attacker.example"));
    for (const QString &op : operations) {
        QVERIFY2(wsdl.contains("<soap:operation soapAction=\"http://tempuri.org/" + op +
                               "\" style=\"document\" />"),
                 qPrintable(op));
        QVERIFY2(wsdl.contains("name=\"" + op + "Result\""), qPrintable(op));
    }
    QVERIFY(wsdl.contains("name=\"userdj\" type=\"s:int\""));
}

void tst_ServiceHttp::callerAddress()
{
    auto res = client->Get("/IP.aspx");
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QVERIFY(text(res->get_header_value("Content-Type")).startsWith("text/plain"));
    QCOMPARE(text(res->body), QStringLiteral("127.0.0.1"));
}

void tst_ServiceHttp::healthAndReadiness_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::newRow("process answers") << "/healthz"
                                     << "GET" << 200 << "ok\n";
    QTest::newRow("store answers") << "/readyz"
                                   << "GET" << 200 << "ready\n";
    QTest::newRow("readiness is only read") << "/readyz"
                                            << "POST" << 405 << QString();
}

void tst_ServiceHttp::healthAndReadiness()
{
    QFETCH(QString, path);
    QFETCH(QString, method);
    QFETCH(int, status);
    QFETCH(QString, body);
    auto res = method == "GET" ? client->Get(path.toStdString())
                               : client->Post(path.toStdString(), "", "text/plain");
    QVERIFY(res);
    QCOMPARE(res->status, status);
    if (!body.isEmpty())
        QCOMPARE(text(res->body), body);
}

void tst_ServiceHttp::insiderPage_data()
{
    QTest::addColumn<QString>("signedIn"); // the account whose online record this address holds
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");

    const QString level2 = "内参：银行股分红行情提前启动";
    const QString level3 = "私募观点：二季度关注消费复苏";
    const QString level1 = "一级专享：量化私募调仓";
    QTest::newRow("level 2") << "demo"
                             << "userdj=2&username=demo&userpas=demo" << 200 << QStringList{level2, level3}
                             << QStringList{level1};
    QTest::newRow("a level in the address does not raise the account's")
        << "demo"
        << "userdj=1&username=demo&userpas=demo" << 200 << QStringList{level2, level3} << QStringList{level1};
    QTest::newRow("level 1") << "vip"
                             << "userdj=1&username=vip&userpas=vip" << 200 << QStringList{level1, level3}
                             << QStringList{level2};
    QTest::newRow("level 1, but this address signed in no level-1 account")
        << "demo"
        << "userdj=1&username=vip&userpas=vip" << 200 << QStringList{level3} << QStringList{level1, level2};
    QTest::newRow("encoded name and password") << ""
                                               << "userdj=3&username=%6Dember&userpas=me%6Dber" << 200
                                               << QStringList{level3} << QStringList{level1, level2};
    QTest::newRow("wrong password") << "demo"
                                    << "userdj=2&username=demo&userpas=x" << 403 << QStringList{}
                                    << QStringList{level1, level2, level3};
    QTest::newRow("no account") << "demo"
                                << "userdj=2" << 403 << QStringList{} << QStringList{level1, level2, level3};
}

void tst_ServiceHttp::insiderPage()
{
    QFETCH(QString, signedIn);
    QFETCH(QString, query);
    QFETCH(int, status);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QVERIFY(service->execSql("DELETE FROM userdl"));
    if (!signedIn.isEmpty()) {
        std::string id = signedIn == "vip" ? "2" : "1", name = signedIn.toStdString();
        auto proof =
            post("\"http://tempuri.org/yanzheng\"",
                 envelope("yanzheng", "<username>" + name + "</username><userpass>" + name + "</userpass>"));
        QVERIFY(proof && proof->body.find(">true<") != std::string::npos);
        std::string record = "Insert into userdl(userid,userzh,userpas,userdqsj,userdlsj,userdlip) values(" +
                             id + ",'" + name + "','" + name + "','2099-12-31',now(),'127.0.0.1' )";
        auto written =
            post("\"http://tempuri.org/zhixing\"", envelope("zhixing", "<sql>" + record + "</sql>"));
        QVERIFY(written && written->body.find(">true<") != std::string::npos);
    }
    if (service->querySql("SELECT count(*) FROM smnc WHERE XinXiDJ=1").value(0).value(0) == "0")
        QCOMPARE(
            service->runCommand({"publish", "insider", "--title", "一级专享：量化私募调仓", "--level", "1"}),
            0);

    auto res = client->Get(("/GongGaoXinXi.aspx?" + query).toStdString());
    QVERIFY(res);
    QCOMPARE(res->status, status);
    QCOMPARE(text(res->get_header_value("Content-Type")), QStringLiteral("text/html; charset=utf-8"));
    const QString page = text(res->body);
    for (const QString &title : shown)
        QVERIFY2(page.contains(title), qPrintable(title));
    for (const QString &title : hidden)
        QVERIFY2(!page.contains(title), qPrintable(title));
    if (shown.size() == 2) // newest first
        QVERIFY(page.indexOf(shown[0]) < page.indexOf(shown[1]));
}

void tst_ServiceHttp::demoPages()
{
    const QStringList pages = {"news", "quotes", "valuation", "profiles", "funds", "research"};
    for (const QString &name : pages) {
        auto res = client->Get(("/pages/" + name + ".html").toStdString());
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        const QString html = text(res->body);
        QVERIFY2(html.contains("target=\"_blank\""), qPrintable(name));
        QVERIFY2(html.contains("<a href=\"/pages/"), qPrintable(name));
    }
    auto res = client->Get("/pages/nothing.html");
    QVERIFY(res);
    QCOMPARE(res->status, 404);
}

void tst_ServiceHttp::logHasNoSecrets()
{
    auto res = post("\"http://tempuri.org/hqdlyhxx\"",
                    envelope("hqdlyhxx", "<username>demo</username><userpass>Geheim-4711</userpass>"));
    QVERIFY(res);
    QTRY_VERIFY(service->serverLog().contains("hqdlyhxx 200"));
    const QString log = service->serverLog();
    QVERIFY(!log.contains("Geheim-4711"));
    QVERIFY(!log.contains("select", Qt::CaseInsensitive));
    // One line per request: operation, status and milliseconds.
    QVERIFY2(
        QRegularExpression("POST /WebService\\.asmx yanzheng 200 \\d+\\.\\d\\d ms\\n").match(log).hasMatch(),
        qPrintable(log));
}

void tst_ServiceHttp::jsonLogHasNoSecrets()
{
    ServiceFixture json(true, {"--log-format", "json"});
    QVERIFY2(json.isRunning(), qPrintable(json.errorString()));
    httplib::Client client("127.0.0.1", json.port());
    client.set_read_timeout(20, 0);
    auto page = client.Get("/GongGaoXinXi.aspx?username=demo&userpass=Geheim-4711");
    QVERIFY(page);
    auto call = client.Post("/WebService.asmx", {{"SOAPAction", "\"http://tempuri.org/yanzheng\""}},
                            envelope("yanzheng", "<username>demo</username><userpass>Geheim-4712</userpass>"),
                            "text/xml; charset=utf-8");
    QVERIFY(call);
    QTRY_VERIFY(json.serverLog().contains("\"operation\":\"yanzheng\""));
    const QString log = json.serverLog();
    QVERIFY(!log.contains("Geheim"));
    QVERIFY(!log.contains("userpass"));
    // One JSON object per line, each a request with its fields.
    int requests = 0;
    for (const QString &line : log.split('\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith('{'))
            continue;
        QJsonParseError error;
        QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(line));
        QCOMPARE(object.value("event").toString(), QStringLiteral("request"));
        QVERIFY(object.contains("status") && object.contains("ms") && object.contains("address"));
        ++requests;
    }
    QCOMPARE(requests, 2);
}

void tst_ServiceHttp::forwardedFor_data()
{
    QTest::addColumn<bool>("throughTrustedProxy");
    QTest::addColumn<QString>("forwardedFor"); // empty: no header
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("address");

    QTest::newRow("trusted proxy") << true << "203.0.113.9" << 200 << "203.0.113.9";
    QTest::newRow("trusted proxy, no header") << true << "" << 200 << "127.0.0.1";
    QTest::newRow("entry the client wrote is not taken")
        << true << "198.51.100.7, 203.0.113.9" << 200 << "203.0.113.9";
    QTest::newRow("IPv6 client") << true << "2001:DB8::1" << 200 << "2001:db8::1";
    QTest::newRow("trusted proxy, not an address") << true << "unknown" << 400 << "";
    QTest::newRow("untrusted peer") << false << "203.0.113.9" << 200 << "127.0.0.1";
}

void tst_ServiceHttp::forwardedFor()
{
    QFETCH(bool, throughTrustedProxy);
    QFETCH(QString, forwardedFor);
    QFETCH(int, status);
    QFETCH(QString, address);
    httplib::Client caller("127.0.0.1", throughTrustedProxy ? proxied().port() : service->port());
    httplib::Headers headers;
    if (!forwardedFor.isEmpty())
        headers.emplace("X-Forwarded-For", forwardedFor.toStdString());
    auto res = caller.Get("/IP.aspx", headers);
    QVERIFY(res);
    QCOMPARE(res->status, status);
    if (status == 200)
        QCOMPARE(text(res->body), address);
}

void tst_ServiceHttp::forwardedScheme_data()
{
    QTest::addColumn<bool>("throughTrustedProxy");
    QTest::addColumn<QString>("forwardedProto"); // empty: no header
    QTest::addColumn<QString>("scheme");

    QTest::newRow("TLS ended at the trusted proxy") << true << "https"
                                                    << "https";
    QTest::newRow("trusted proxy, plain") << true << "http"
                                          << "http";
    QTest::newRow("trusted proxy, no header") << true << ""
                                              << "http";
    QTest::newRow("untrusted peer claims TLS") << false << "https"
                                               << "http";
}

// Addresses the service hands out (here the service description's) keep the scheme the
// subscriber used, so a client that came over TLS is not sent to plain HTTP.
void tst_ServiceHttp::forwardedScheme()
{
    QFETCH(bool, throughTrustedProxy);
    QFETCH(QString, forwardedProto);
    QFETCH(QString, scheme);
    quint16 port = throughTrustedProxy ? proxied().port() : service->port();
    httplib::Client caller("127.0.0.1", port);
    httplib::Headers headers;
    if (!forwardedProto.isEmpty())
        headers.emplace("X-Forwarded-Proto", forwardedProto.toStdString());
    auto res = caller.Get("/WebService.asmx?wsdl", headers);
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QString location = scheme + "://127.0.0.1:" + QString::number(port) + "/WebService.asmx";
    QVERIFY2(text(res->body).contains("location=\"" + location + "\""), qPrintable(location));
}

void tst_ServiceHttp::accountTakeoverRefused()
{
    ServiceFixture &service = proxied();
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    // vip (id 2) signs in from 198.51.100.7, through the proxy.
    const std::string vip = "198.51.100.7";
    QCOMPARE(forwardedCall(vip, "yanzheng", "<username>vip</username><userpass>vip</userpass>"), "true");
    const std::string record =
        ClientStatements::onlineRecordInsert({"2", "vip", "vip", "2099-12-31", "198.51.100.7"}).toStdString();
    QCOMPARE(forwardedCall(vip, "zhixing", "<sql>" + record + "</sql>"), "true");
    auto snapshot = [&] {
        return service.querySql("SELECT (SELECT group_concat(id || userpas) FROM UserTable), (SELECT "
                                "group_concat(userid || userdlsj || holderip) FROM userdl)");
    };
    const auto before = snapshot();
    const QString vipStamp = service.querySql("SELECT userdlsj FROM userdl WHERE userid=2").value(0).value(0);
    QVERIFY(!vipStamp.isEmpty());

    const std::string attacks[] = {
        ClientStatements::passwordChange("2", "x").toStdString(),
        ClientStatements::onlineRecordDelete("2", vipStamp).toStdString(),
        "delete from userdl where userid=2",
        ClientStatements::onlineRecordUpdate({"2", "vip", "x", "2099-12-31", "1"}).toStdString()};
    for (const std::string &attack : attacks) {
        // From another address behind the proxy, signed in with an account of its own.
        QCOMPARE(
            forwardedCall("203.0.113.9", "yanzheng", "<username>demo</username><userpass>demo</userpass>"),
            "true");
        QCOMPARE(forwardedCall("203.0.113.9", "zhixing", "<sql>" + attack + "</sql>"), "false");
        // Straight from an address that is no trusted proxy, claiming to be vip's.
        RawConnection direct(service.port(), "127.0.0.2");
        QVERIFY(direct.send(
            soapPost("zhixing", "<sql>" + attack + "</sql>", "X-Forwarded-For: 198.51.100.7\r\n")));
        QVERIFY2(direct.readAll().contains("<zhixingResult>false</zhixingResult>"), attack.c_str());
    }
    QCOMPARE(snapshot(), before);

    // From vip's own address: accepted.
    QCOMPARE(forwardedCall(vip, "zhixing",
                           "<sql>" + ClientStatements::passwordChange("2", "neu").toStdString() + "</sql>"),
             "true");
    QCOMPARE(forwardedCall(vip, "yanzheng", "<username>vip</username><userpass>neu</userpass>"), "true");
    QCOMPARE(
        forwardedCall(vip, "zhixing",
                      "<sql>" + ClientStatements::onlineRecordDelete("2", vipStamp).toStdString() + "</sql>"),
        "true");
    QCOMPARE(service.querySql("SELECT count(*) FROM userdl"), QList<QStringList>({{"0"}}));
}

void tst_ServiceHttp::nulRefused_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("status");

    QTest::newRow("character reference")
        << soapPost("yanzheng", "<username>demo</username><userpass>demo&#0;junk</userpass>")
        << "HTTP/1.1 400 Bad Request";
    QTest::newRow("hexadecimal reference")
        << soapPost("yanzheng", "<username>demo&#x00;x</username><userpass>demo</userpass>")
        << "HTTP/1.1 400 Bad Request";
    QTest::newRow("raw byte") << soapPost("yanzheng", std::string("<username>demo</username><userpass>demo") +
                                                          '\0' + "junk</userpass>")
                              << "HTTP/1.1 400 Bad Request";
    QTest::newRow("in the query string")
        << QByteArray("GET /GongGaoXinXi.aspx?userdj=2&username=demo&userpas=demo%00 HTTP/1.1\r\nHost: x\r\n"
                      "Connection: close\r\n\r\n")
        << "HTTP/1.1 400 Bad Request";
    QTest::newRow("legal reference still read")
        << soapPost("yanzheng", "<username>&#100;emo</username><userpass>demo</userpass>")
        << "HTTP/1.1 200 OK";
}

void tst_ServiceHttp::nulRefused()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, status);
    RawConnection connection(service->port());
    QVERIFY(connection.send(request));
    const QByteArray answer = connection.readAll();
    QCOMPARE(statusLine(answer), status);
    QVERIFY(!answer.contains("<yanzhengResult>true") || status.contains("200"));
}

void tst_ServiceHttp::ambiguousFramingRefused_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("status");

    const QByteArray body = QByteArray::fromStdString(envelope("jian", "<i>5</i><j>7</j>"));
    const QByteArray length = "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    QByteArray chunked = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
    QTest::newRow("chunked, identity")
        << "Transfer-Encoding: chunked, identity\r\n" + length << body << "HTTP/1.1 400 Bad Request";
    QTest::newRow("identity") << "Transfer-Encoding: identity\r\n" + length << body
                              << "HTTP/1.1 400 Bad Request";
    QTest::newRow("second Content-Length, same value")
        << length + length << body << "HTTP/1.1 400 Bad Request";
    QTest::newRow("second Content-Length, other value") << length + "Content-Length: 5\r\n"
                                                        << body << "HTTP/1.1 400 Bad Request";
    QTest::newRow("Content-Length and chunked") << length + "Transfer-Encoding: chunked\r\n"
                                                << chunked << "HTTP/1.1 400 Bad Request";
    QTest::newRow("chunked alone") << QByteArray("Transfer-Encoding: chunked\r\n") << chunked
                                   << "HTTP/1.1 200 OK";
    QTest::newRow("Content-Length alone") << length << body << "HTTP/1.1 200 OK";
}

void tst_ServiceHttp::ambiguousFramingRefused()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, body);
    QFETCH(QString, status);
    RawConnection connection(service->port());
    QVERIFY(
        connection.send("POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml\r\nSOAPAction: "
                        "\"http://tempuri.org/jian\"\r\nConnection: close\r\n" +
                        head + "\r\n" + body));
    const QByteArray answer = connection.readAll();
    QCOMPARE(statusLine(answer), status);
    QCOMPARE(answer.contains("<jianResult>-2</jianResult>"), status.contains("200"));
}

void tst_ServiceHttp::oversizedHeadRefused_data()
{
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("fieldSize");
    QTest::addColumn<QString>("status");
    // With Host and Connection: 98 of our own make 100 fields.
    QTest::newRow("100 fields") << 98 << 10 << "HTTP/1.1 200 OK";
    QTest::newRow("101 fields") << 99 << 10 << "HTTP/1.1 431 Request Header Fields Too Large";
    QTest::newRow("one field of 20 KB") << 1 << 20000 << "HTTP/1.1 431 Request Header Fields Too Large";
}

void tst_ServiceHttp::oversizedHeadRefused()
{
    QFETCH(int, fields);
    QFETCH(int, fieldSize);
    QFETCH(QString, status);
    QByteArray head = "GET /IP.aspx HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
    for (int i = 0; i < fields; ++i)
        head += "X-F" + QByteArray::number(i) + ": " + QByteArray(fieldSize, 'v') + "\r\n";
    RawConnection connection(service->port());
    QVERIFY(connection.send(head + "\r\n"));
    QCOMPARE(statusLine(connection.readAll()), status);
    if (!status.contains("200")) {
        // Logged with the caller's address and the time of the request.
        static const QRegularExpression line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                                             "127\\.0\\.0\\.1 - - - 431 \\d+\\.\\d\\d ms\\n");
        QTRY_VERIFY2_WITH_TIMEOUT(line.match(service->serverLog()).hasMatch(),
                                  qPrintable(service->serverLog()), 5000);
    }
}

void tst_ServiceHttp::millionHeadersRefusedEarly()
{
    RawConnection connection(service->port());
    QVERIFY(connection.send("GET /IP.aspx HTTP/1.1\r\nHost: x\r\n"));
    QByteArray block;
    for (int i = 0; i < 10000; ++i)
        block += "X-A: b\r\n";
    // A million fields in blocks of 10,000: refused at the size limit, without storing them
    // (the memory this takes is measured by bench/server/run-robustness).
    for (int sent = 0; sent < 100 && connection.send(block); ++sent) {
    }
    QCOMPARE(statusLine(connection.readAll()),
             QStringLiteral("HTTP/1.1 431 Request Header Fields Too Large"));
    auto res = client->Get("/IP.aspx");
    QVERIFY(res);
    QCOMPARE(res->status, 200);
}

void tst_ServiceHttp::announcedBodyTooLargeRefusedAtOnce()
{
    RawConnection connection(service->port());
    // The body never comes: the answer must not wait for it.
    QVERIFY(
        connection.send("POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml\r\nSOAPAction: "
                        "\"http://tempuri.org/jian\"\r\nContent-Length: 1048577\r\n\r\n"));
    QCOMPARE(statusLine(connection.readAll(5000)), QStringLiteral("HTTP/1.1 413 Payload Too Large"));
}

void tst_ServiceHttp::slowHeadCutAtDeadline()
{
    RawConnection connection(service->port(), "127.0.0.3");
    QVERIFY(connection.send("GET /IP.aspx HTTP/1.1\r\n"));
    // One byte every half second: each read is quick, the request as a whole is not.
    QElapsedTimer sending;
    sending.start();
    bool open = true;
    while (open && sending.elapsed() < 20000) {
        open = connection.send("X") && connection.readAll(500).isEmpty() && !connection.closedByPeer();
    }
    QVERIFY2(!open, "a request sent one byte at a time was kept open for 20 s");
    QTRY_VERIFY_WITH_TIMEOUT(service->serverLog().contains(" 127.0.0.3 - - - 408 "), 5000);
}

void tst_ServiceHttp::continueBeforeBody()
{
    const QByteArray body = QByteArray::fromStdString(envelope("jian", "<i>5</i><j>7</j>"));
    RawConnection connection(service->port());
    QVERIFY(
        connection.send("POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml\r\nSOAPAction: "
                        "\"http://tempuri.org/jian\"\r\nExpect: 100-continue\r\nConnection: close\r\n"
                        "Content-Length: " +
                        QByteArray::number(body.size()) + "\r\n\r\n"));
    // The go-ahead comes before any byte of the body is sent.
    QCOMPARE(connection.readAll(1000), QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
    QVERIFY(connection.send(body));
    const QByteArray answer = connection.readAll();
    QCOMPARE(statusLine(answer), QStringLiteral("HTTP/1.1 200 OK"));
    QVERIFY(answer.contains("<jianResult>-2</jianResult>"));
}

void tst_ServiceHttp::pipelinedRequestsAnsweredInOrder()
{
    QByteArray first = soapPost("jian", "<i>5</i><j>7</j>");
    first.replace("Connection: close\r\n", "");
    RawConnection connection(service->port());
    // Both requests in one piece: the second must not be lost in the first one's buffer.
    QVERIFY(connection.send(first + "GET /IP.aspx HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
    const QByteArray answers = connection.readAll();
    int soap = int(answers.indexOf("<jianResult>-2</jianResult>"));
    int address = int(answers.lastIndexOf("\r\n\r\n127.0.0.1"));
    QVERIFY2(soap > 0 && address > soap, answers.constData());
    QVERIFY(connection.closedByPeer());
}

void tst_ServiceHttp::connectionsCappedPerAddress()
{
    ServiceFixture capped(true, {"--max-connections-per-address", "3"});
    QVERIFY2(capped.isRunning(), qPrintable(capped.errorString()));
    std::vector<std::unique_ptr<RawConnection>> idle;
    // The kernel completes a connection before the service accepts it: each of the three is
    // answered once, so that the service has surely counted all three before the fourth
    // arrives. They stay open and idle afterwards.
    QByteArray keepAlive = soapPost("jian", "<i>5</i><j>7</j>");
    keepAlive.replace("Connection: close\r\n", "");
    for (int i = 0; i < 3; ++i) {
        idle.push_back(std::make_unique<RawConnection>(capped.port(), "127.0.0.4"));
        QVERIFY(idle.back()->isOpen());
        QVERIFY(idle.back()->send(keepAlive));
        QVERIFY(idle.back()->readUntil("</soap:Envelope>").contains("<jianResult>-2</jianResult>"));
    }
    // The fourth from that address is turned away at once; another address is served.
    RawConnection fourth(capped.port(), "127.0.0.4");
    QCOMPARE(statusLine(fourth.readAll()), QStringLiteral("HTTP/1.1 503 Service Unavailable"));
    RawConnection other(capped.port(), "127.0.0.5");
    QVERIFY(other.send(soapPost("jian", "<i>5</i><j>7</j>")));
    QVERIFY(other.readAll().contains("<jianResult>-2</jianResult>"));
    // Once one closes, the address may connect again.
    idle.pop_back();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            RawConnection again(capped.port(), "127.0.0.4");
            return again.send(soapPost("jian", "<i>1</i><j>1</j>")) &&
                   again.readAll().contains("<jianResult>0</jianResult>");
        }(),
        15000); // the service notices the close on its own thread, late on a busy machine
    // With one place left, a client that reconnects the moment the service closed its last
    // connection is served every time.
    for (int round = 0; round < 200; ++round) {
        RawConnection next(capped.port(), "127.0.0.4");
        QVERIFY(next.send(soapPost("jian", "<i>3</i><j>1</j>")));
        QVERIFY2(next.readAll().contains("<jianResult>2</jianResult>"), qPrintable(QString::number(round)));
    }
}

void tst_ServiceHttp::loginSlowdownPerAddress()
{
    QVERIFY2(proxied().isRunning(), qPrintable(proxied().errorString()));
    const std::string guesser = "198.51.100.20", user = "198.51.100.21";
    const std::string wrong = "<username>member</username><userpass>guess</userpass>";
    // Six wrong passwords from one address; the first five are answered without delay.
    for (int i = 0; i < 6; ++i)
        QCOMPARE(forwardedCall(guesser, "yanzheng", wrong), "false");
    // The seventh is held for a second at least...
    auto started = std::chrono::steady_clock::now();
    auto held = std::async(std::launch::async, [&] {
        QString answer = forwardedCall(guesser, "yanzheng", wrong);
        return std::make_pair(answer, std::chrono::steady_clock::now());
    });
    // ...while the right user at another address is answered without waiting for it.
    QCOMPARE(forwardedCall(user, "yanzheng", "<username>member</username><userpass>member</userpass>"),
             "true");
    auto userAnswered = std::chrono::steady_clock::now();
    QCOMPARE(held.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    auto [answer, guesserAnswered] = held.get();
    QCOMPARE(answer, QStringLiteral("false"));
    QVERIFY(userAnswered < guesserAnswered);
    QVERIFY(guesserAnswered - started >= std::chrono::milliseconds(1000));
}

QTEST_GUILESS_MAIN(tst_ServiceHttp)
#include "tst_ServiceHttp.moc"
