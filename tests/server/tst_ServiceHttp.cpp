// The service on the wire, with raw HTTP requests: answer and fault shapes, bad input, the
// pages it serves. None of the bad requests may crash it or change data.
#include "ServiceFixture.h"

#include <QRegularExpression>
#include <QTest>

#include <httplib.h>

#include <memory>

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
    void insiderPage_data();
    void insiderPage();
    void demoPages();
    void logHasNoSecrets();

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

    std::unique_ptr<ServiceFixture> service;
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

    // A result document travels as escaped text, CR LF line ends kept as references.
    res = post(
        "\"http://tempuri.org/hqsametable\"",
        envelope("hqsametable", "<strsql>select top 30 * from Tuijiangupiao order by id desc </strsql>"));
    QVERIFY(res);
    QCOMPARE(res->status, 200);
    QVERIFY2(text(res->body).contains("<hqsametableResult>&lt;NewDataSet&gt;&#xD;\n  &lt;Table&gt;&#xD;\n    "
                                      "&lt;id&gt;7&lt;/id&gt;"),
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
    std::string padding(1024 * 1024, 'x');
    auto res =
        post("\"http://tempuri.org/zhixing\"",
             envelope("zhixing", "<sql>delete from userdl where userid=1</sql><pad>" + padding + "</pad>"));
    QVERIFY(res);
    QCOMPARE(res->status, 413);
    // Just under the limit is read.
    std::string fits(1024 * 1024 - 400, 'x');
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

void tst_ServiceHttp::insiderPage_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");

    const QString level2 = "内参：银行股分红行情提前启动";
    const QString level3 = "私募观点：二季度关注消费复苏";
    const QString level1 = "一级专享：量化私募调仓";
    QTest::newRow("level 2") << "userdj=2&username=demo&userpas=demo" << 200 << QStringList{level2, level3}
                             << QStringList{level1};
    QTest::newRow("a level in the address does not raise the account's")
        << "userdj=1&username=demo&userpas=demo" << 200 << QStringList{level2, level3} << QStringList{level1};
    QTest::newRow("level 1") << "userdj=1&username=vip&userpas=vip" << 200 << QStringList{level1, level3}
                             << QStringList{level2};
    QTest::newRow("encoded name and password") << "userdj=3&username=%6Dember&userpas=me%6Dber" << 200
                                               << QStringList{level3} << QStringList{level1, level2};
    QTest::newRow("wrong password") << "userdj=2&username=demo&userpas=x" << 403 << QStringList{}
                                    << QStringList{level1, level2, level3};
    QTest::newRow("no account") << "userdj=2" << 403 << QStringList{} << QStringList{level1, level2, level3};
}

void tst_ServiceHttp::insiderPage()
{
    QFETCH(QString, query);
    QFETCH(int, status);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
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

QTEST_GUILESS_MAIN(tst_ServiceHttp)
#include "tst_ServiceHttp.moc"
