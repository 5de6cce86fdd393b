#include "HttpTestServer.h"
#include "HttpTransport.h"
#include "RawHttpServer.h"
#include "ServiceClient.h"
#include "ServiceHostOverride.h"
#include "SoapProxy.h"
#include "TransportFailure.h"
#include "TransportTimeoutsOverride.h"

#include <QtTest>

#include <pugixml.hpp>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <thread>

namespace {

const char *const Soap11 = "http://schemas.xmlsoap.org/soap/envelope/";

using Invocation = std::function<QVariant(WebServiceSoap &)>;
using Parameters = QList<QPair<QString, QString>>;

std::string envelope(const std::string &bodyContent)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>" +
           bodyContent + "</soap:Body></soap:Envelope>";
}

std::string responseEnvelope(const std::string &operation, const std::string &escapedResult)
{
    return envelope("<" + operation + "Response xmlns=\"http://tempuri.org/\"><" + operation + "Result>" +
                    escapedResult + "</" + operation + "Result></" + operation + "Response>");
}

std::string faultEnvelope(const std::string &escapedFaultString)
{
    return envelope("<soap:Fault><faultcode>soap:Server</faultcode><faultstring>" + escapedFaultString +
                    "</faultstring><detail /></soap:Fault>");
}

// The operation element of a request as the service reads it: its name and namespace,
// and the parameters in order with their texts.
struct ReadRequest
{
    QString operation;
    QString operationNamespace;
    Parameters parameters;
};

ReadRequest readRequest(const std::string &body)
{
    pugi::xml_document document;
    if (!document.load_buffer(body.data(), body.size(), pugi::parse_default | pugi::parse_ws_pcdata))
        return {};
    const pugi::xml_node envelopeElement = document.document_element();
    if (QByteArray(envelopeElement.name()) != "soap:Envelope" ||
        QByteArray(envelopeElement.attribute("xmlns:soap").value()) != Soap11)
        return {};
    const pugi::xml_node operation = envelopeElement.child("soap:Body").first_child();
    ReadRequest read{
        QString::fromUtf8(operation.name()), QString::fromUtf8(operation.attribute("xmlns").value()), {}};
    for (pugi::xml_node parameter : operation.children())
        read.parameters.append(
            {QString::fromUtf8(parameter.name()), QString::fromUtf8(parameter.text().get())});
    return read;
}

QString headerValue(const httplib::Headers &headers, const char *name)
{
    const auto found = headers.find(name);
    return found == headers.end() ? QString() : QString::fromStdString(found->second);
}

QString callError(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::runtime_error &error) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("<no error>");
}

} // namespace

Q_DECLARE_METATYPE(Invocation)

class tst_SoapProxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void requestOnTheWire_data();
    void requestOnTheWire();
    void everyOperation_data();
    void everyOperation();
    void failures_data();
    void failures();
    void answerShapes_data();
    void answerShapes();
    void statusErrorUsesTheReasonPhraseOnTheWire();
    void transportFailures_data();
    void transportFailures();
    void callsShareOneConnection();
    void eachThreadKeepsItsConnection();
    void serviceClientBindsToTheServiceHost();
    void transportGet();

private:
    std::unique_ptr<HttpTestServer> server;
};

void tst_SoapProxy::initTestCase()
{
    server = std::make_unique<HttpTestServer>();
}

void tst_SoapProxy::cleanup()
{
    server->setHandler({});
    server->clearRequests();
}

void tst_SoapProxy::requestOnTheWire_data()
{
    QTest::addColumn<Invocation>("invoke");
    QTest::addColumn<QString>("soapAction");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("operation with parameters")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.yanzheng(u"张三"_qs, u"a<b>&c"_qs)); })
        << u"\"http://tempuri.org/yanzheng\""_qs
        << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>"
                      "<yanzheng xmlns=\"http://tempuri.org/\"><username>张三</username>"
                      "<userpass>a&lt;b&gt;&amp;c</userpass></yanzheng></soap:Body></soap:Envelope>");
    QTest::newRow("hqSys_pz sends the empty operation element")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.hqSys_pz()); })
        << u"\"http://tempuri.org/hqSys_pz\""_qs
        << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>"
                      "<hqSys_pz xmlns=\"http://tempuri.org/\"/></soap:Body></soap:Envelope>");
}

void tst_SoapProxy::requestOnTheWire()
{
    QFETCH(Invocation, invoke);
    QFETCH(QString, soapAction);
    QFETCH(QByteArray, body);

    server->setHandler([](const httplib::Request &request, httplib::Response &response) {
        const std::string operation =
            request.body.find("yanzheng") != std::string::npos ? "yanzheng" : "hqSys_pz";
        response.set_content(responseEnvelope(operation, "ok"), "text/xml; charset=utf-8");
    });
    SoapProxy proxy(server->url());
    QCOMPARE(invoke(proxy).toString(), u"ok"_qs);

    const auto requests = server->requests();
    QCOMPARE(requests.size(), size_t(1));
    const auto &request = requests.front();
    QCOMPARE(QString::fromStdString(request.method), u"POST"_qs);
    QCOMPARE(QString::fromStdString(request.path), u"/WebService.asmx"_qs);
    QCOMPARE(headerValue(request.headers, "SOAPAction"), soapAction);
    QCOMPARE(headerValue(request.headers, "Content-Type"), u"text/xml; charset=\"utf-8\""_qs);
    // Compared whole: QCOMPARE would cut the text short of the part that differs.
    QVERIFY2(QByteArray::fromStdString(request.body) == body, request.body.c_str());
}

void tst_SoapProxy::everyOperation_data()
{
    QTest::addColumn<Invocation>("invoke");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Parameters>("parameters");
    QTest::addColumn<QByteArray>("escapedResult");
    QTest::addColumn<QVariant>("result");

    const double inf = std::numeric_limits<double>::infinity();

    QTest::newRow("addition") << Invocation([](WebServiceSoap &s) { return QVariant(s.addition(1.5, -0.1)); })
                              << u"addition"_qs << Parameters{{u"i"_qs, u"1.5"_qs}, {u"j"_qs, u"-0.1"_qs}}
                              << QByteArray("1.4") << QVariant(1.4);
    QTest::newRow("jian, extreme doubles")
        << Invocation([inf](WebServiceSoap &s) { return QVariant(s.jian(1e300, -inf)); }) << u"jian"_qs
        << Parameters{{u"i"_qs, u"1e+300"_qs}, {u"j"_qs, u"-INF"_qs}} << QByteArray("INF") << QVariant(inf);
    QTest::newRow("jian, exponent result")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.jian(0.1, 5e-324)); }) << u"jian"_qs
        << Parameters{{u"i"_qs, u"0.1"_qs}, {u"j"_qs, u"5e-324"_qs}} << QByteArray(" -2.5E-3 ")
        << QVariant(-0.0025);
    QTest::newRow("yanzheng, markup characters reach the service unchanged")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.yanzheng(u"<a>&b"_qs, u"x'\"y"_qs)); })
        << u"yanzheng"_qs << Parameters{{u"username"_qs, u"<a>&b"_qs}, {u"userpass"_qs, u"x'\"y"_qs}}
        << QByteArray("True") << QVariant(u"True"_qs);
    QTest::newRow("zhixing, line ends and Chinese")
        << Invocation([](WebServiceSoap &s) {
               return QVariant(s.zhixing(u"update userdl set userdlip='1'\r\nwhere userzh='股民'"_qs));
           })
        << u"zhixing"_qs
        << Parameters{{u"sql"_qs, u"update userdl set userdlip='1'\r\nwhere userzh='股民'"_qs}}
        << QByteArray("true") << QVariant(u"true"_qs);
    QTest::newRow("hqSys_pz")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.hqSys_pz()); }) << u"hqSys_pz"_qs
        << Parameters{}
        << QByteArray("&lt;NewDataSet&gt;&lt;Table&gt;&lt;gpsysname&gt;股票预警&lt;/"
                      "gpsysname&gt;&lt;/Table&gt;&lt;/NewDataSet&gt;")
        << QVariant(u"<NewDataSet><Table><gpsysname>股票预警</gpsysname></Table></NewDataSet>"_qs);
    QTest::newRow("hqdlyhxx, characters outside GBK cross as ?")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.hqdlyhxx(u"张😀"_qs, u"한p"_qs)); })
        << u"hqdlyhxx"_qs << Parameters{{u"username"_qs, u"张?"_qs}, {u"userpass"_qs, u"?p"_qs}}
        << QByteArray("涨停🚀") << QVariant(u"涨停?"_qs);
    QTest::newRow("hqsfczjl") << Invocation([](WebServiceSoap &s) {
        return QVariant(s.hqsfczjl(u"select * from UserTable where username='a'"_qs));
    }) << u"hqsfczjl"_qs << Parameters{{u"strsql"_qs, u"select * from UserTable where username='a'"_qs}}
                              << QByteArray("-7") << QVariant(-7);
    QTest::newRow("hqsametable, empty text parameter")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.hqsametable(QString())); })
        << u"hqsametable"_qs << Parameters{{u"strsql"_qs, QString()}} << QByteArray("&lt;NewDataSet /&gt;")
        << QVariant(u"<NewDataSet />"_qs);
    QTest::newRow("ifchangetable") << Invocation([](WebServiceSoap &s) {
        return QVariant(s.ifchangetable(-3));
    }) << u"ifchangetable"_qs << Parameters{{u"userdj"_qs, u"-3"_qs}}
                                   << QByteArray("1,2,\"a b\"") << QVariant(u"1,2,\"a b\""_qs);
    QTest::newRow("hqdlsj, blanks kept")
        << Invocation([](WebServiceSoap &s) { return QVariant(s.hqdlsj(u"12"_qs)); }) << u"hqdlsj"_qs
        << Parameters{{u"userid"_qs, u"12"_qs}} << QByteArray(" 2011-06-10 09:31:05 ")
        << QVariant(u" 2011-06-10 09:31:05 "_qs);
}

void tst_SoapProxy::everyOperation()
{
    QFETCH(Invocation, invoke);
    QFETCH(QString, operation);
    QFETCH(Parameters, parameters);
    QFETCH(QByteArray, escapedResult);
    QFETCH(QVariant, result);

    const std::string op = operation.toStdString();
    const std::string answer = responseEnvelope(op, escapedResult.toStdString());
    server->setHandler([answer](const httplib::Request &, httplib::Response &response) {
        response.set_content(answer, "text/xml; charset=utf-8");
    });

    SoapProxy proxy(server->url());
    const QVariant actual = invoke(proxy);
    if (result.typeId() == QMetaType::Double)
        QCOMPARE(actual.toDouble(), result.toDouble());
    else
        QCOMPARE(actual, result);

    const auto requests = server->requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(headerValue(requests.front().headers, "SOAPAction"), "\"http://tempuri.org/" + operation + "\"");
    const ReadRequest read = readRequest(requests.front().body);
    QCOMPARE(read.operation, operation);
    QCOMPARE(read.operationNamespace, u"http://tempuri.org/"_qs);
    QCOMPARE(read.parameters, parameters);
}

void tst_SoapProxy::failures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message"); // "%URL%" stands for the endpoint

    const QByteArray xml = "text/xml; charset=utf-8";
    const std::string reason =
        "Server was unable to process request. ---> 表 &lt;userdl&gt; &amp; 字段 'x' 不存在";
    const QString reasonText = u"Server was unable to process request. ---> 表 <userdl> & 字段 'x' 不存在"_qs;

    QTest::newRow("500 fault gives the fault string")
        << 500 << xml << QByteArray::fromStdString(faultEnvelope(reason)) << reasonText;
    QTest::newRow("500 fault with another prefix")
        << 500 << xml
        << QByteArray("<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/'>"
                      "<SOAP-ENV:Body><SOAP-ENV:Fault><faultcode>SOAP-ENV:Client</faultcode>"
                      "<faultstring>bad &amp; wrong</faultstring></SOAP-ENV:Fault></SOAP-ENV:Body>"
                      "</SOAP-ENV:Envelope>")
        << u"bad & wrong"_qs;
    QTest::newRow("500 without a fault gives the status error")
        << 500 << QByteArray("text/html") << QByteArray("<html><body>Runtime Error</body></html>")
        << u"Internal Server Error (500) - '%URL%'"_qs;
    QTest::newRow("404 gives the status error")
        << 404 << xml << QByteArray::fromStdString(faultEnvelope("not this one"))
        << u"Not Found (404) - '%URL%'"_qs;
    QTest::newRow("302 is not followed")
        << 302 << QByteArray("text/html") << QByteArray("moved") << u"Found (302) - '%URL%'"_qs;
    QTest::newRow("text/html answer")
        << 200 << QByteArray("text/html; charset=utf-8") << QByteArray("<html><body>Error</body></html>")
        << u"Received content of invalid Content-Type setting: text/html; charset=utf-8 - SOAP expects "
           "\"text/xml\""_qs;
    QTest::newRow("text/plain answer")
        << 200 << QByteArray("Text/Plain") << QByteArray::fromStdString(responseEnvelope("hqdlsj", "x"))
        << u"Received content of invalid Content-Type setting: Text/Plain - SOAP expects \"text/xml\""_qs;
    QTest::newRow("fault in a 200 answer")
        << 200 << xml << QByteArray::fromStdString(faultEnvelope("only a fault")) << u"only a fault"_qs;
    QTest::newRow("empty body element")
        << 200 << xml << QByteArray::fromStdString(envelope(""))
        << u"The answer to hqdlsj holds no hqdlsjResponse element in a SOAP body"_qs;
    QTest::newRow("envelope of another namespace")
        << 200 << xml
        << QByteArray(
               "<soap:Envelope xmlns:soap='urn:not-soap'><soap:Body><hqdlsjResponse "
               "xmlns='http://tempuri.org/'><hqdlsjResult>x</hqdlsjResult></hqdlsjResponse></soap:Body>"
               "</soap:Envelope>")
        << u"The answer to hqdlsj holds no hqdlsjResponse element in a SOAP body"_qs;
    QTest::newRow("malformed XML") << 200 << xml << QByteArray("<soap:Envelope><soap:Body>")
                                   << u"The answer to hqdlsj is not well-formed XML"_qs;
    // A text cut at the NUL would pass on as a login time, a counter list or a document
    // the service never sent.
    const QString nul = u"The answer is not well-formed XML: it holds the character 0 (NUL)"_qs;
    QTest::newRow("NUL in the result")
        << 200 << xml << QByteArray::fromStdString(responseEnvelope("hqdlsj", "2011-06-10&#0;09:31:05"))
        << nul;
    QTest::newRow("NUL in the result, hexadecimal")
        << 200 << xml << QByteArray::fromStdString(responseEnvelope("hqdlsj", "&#x000;")) << nul;
    QTest::newRow("NUL in the fault string")
        << 500 << xml << QByteArray::fromStdString(faultEnvelope("bad&#0; wrong")) << nul;
    QTest::newRow("NUL written out in the result")
        << 200 << xml << QByteArray::fromStdString(responseEnvelope("hqdlsj", std::string("ab\0cd", 5)))
        << u"The answer to hqdlsj is not well-formed XML"_qs;
}

void tst_SoapProxy::failures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    server->setHandler([=](const httplib::Request &, httplib::Response &response) {
        response.status = status;
        response.set_content(body.toStdString(), contentType.toStdString());
        if (status == 302)
            response.set_header("Location", "/elsewhere");
    });
    SoapProxy proxy(server->url());
    QCOMPARE(callError([&proxy] { proxy.hqdlsj(u"1"_qs); }),
             QString(message).replace(u"%URL%"_qs, server->url()));
    QCOMPARE(server->requests().size(), size_t(1));
}

void tst_SoapProxy::answerShapes_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("envelope");
    QTest::addColumn<QString>("result");

    const QByteArray http10 = "HTTP/1.0 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n";
    const QByteArray http11 = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n";

    QTest::newRow("HTTP/1.0 answer without a length, soap prefix")
        << http10 << QByteArray::fromStdString(responseEnvelope("hqdlsj", "2011-06-10 09:31:05"))
        << u"2011-06-10 09:31:05"_qs;
    QTest::newRow("soap11env prefix, single-quoted declaration, LF lines")
        << http11
        << QByteArray("<?xml version='1.0' encoding='UTF-8'?>\n<soap11env:Envelope "
                      "xmlns:soap11env='http://schemas.xmlsoap.org/soap/envelope/' "
                      "xmlns:tns='http://tempuri.org/'>\n"
                      "  <soap11env:Body>\n    <tns:hqdlsjResponse>\n      "
                      "<tns:hqdlsjResult>a\nb</tns:hqdlsjResult>\n"
                      "    </tns:hqdlsjResponse>\n  </soap11env:Body>\n</soap11env:Envelope>\n")
        << u"a\nb"_qs;
    QTest::newRow("SOAP-ENV prefix, CR LF lines, header element")
        << http10
        << QByteArray(
               "<?xml version=\"1.0\"?>\r\n<SOAP-ENV:Envelope "
               "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">\r\n<SOAP-ENV:Header/>\r\n"
               "<SOAP-ENV:Body>\r\n<ns1:hqdlsjResponse xmlns:ns1=\"http://tempuri.org/\">\r\n"
               "<ns1:hqdlsjResult>a\r\nb&#13;&#10;c</ns1:hqdlsjResult>\r\n</ns1:hqdlsjResponse>\r\n"
               "</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>\r\n")
        << u"a\nb\r\nc"_qs;
    QTest::newRow("no prefix at all")
        << http11
        << QByteArray("<Envelope xmlns=\"http://schemas.xmlsoap.org/soap/envelope/\"><Body><hqdlsjResponse "
                      "xmlns=\"http://tempuri.org/\"><hqdlsjResult><![CDATA[<x>]]>&amp;y</hqdlsjResult>"
                      "</hqdlsjResponse></Body></Envelope>")
        << u"<x>&y"_qs;
    QTest::newRow("references, and a namespace written with one")
        << http11
        << QByteArray(
               "<Envelope xmlns=\"http&#58;//schemas.xmlsoap.org/soap/envelope/\"><Body><hqdlsjResponse "
               "xmlns=\"http://tempuri.org/\"><hqdlsjResult>&lt;&#x6DA8;&#26009;&#x1F600;&amp;&nbsp;&#X41;"
               "</hqdlsjResult></hqdlsjResponse></Body></Envelope>")
        << u"<涨料?&&nbsp;&#X41;"_qs;
    QTest::newRow("result element left out (null text)")
        << http11 << QByteArray::fromStdString(envelope("<hqdlsjResponse xmlns=\"http://tempuri.org/\" />"))
        << QString();
}

void tst_SoapProxy::answerShapes()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, envelope);
    QFETCH(QString, result);

    RawHttpServer raw(head + "\r\n" + envelope);
    SoapProxy proxy(raw.url());
    QCOMPARE(proxy.hqdlsj(u"1"_qs), result);
}

void tst_SoapProxy::statusErrorUsesTheReasonPhraseOnTheWire()
{
    RawHttpServer raw("HTTP/1.0 404 Nicht gefunden\r\nContent-Type: text/html\r\n\r\n<html/>");
    SoapProxy proxy(raw.url());
    QCOMPARE(callError([&proxy] { proxy.hqSys_pz(); }), u"Nicht gefunden (404) - '%1'"_qs.arg(raw.url()));
}

// What failed, in a sentence for the subscriber that names the service, and libcurl's words
// with the address and the operation as the detail.
void tst_SoapProxy::transportFailures_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("sentenceStart");
    QTest::addColumn<QString>("detailWord");

    QTest::newRow("nothing listens") << "closed" << int(TransportFailure::Kind::CannotConnect)
                                     << "无法连接到服务器 127.0.0.1:"
                                     << "connect";
    QTest::newRow("never answers") << "silent" << int(TransportFailure::Kind::NoAnswer) << "服务器 127.0.0.1:"
                                   << "timed out";
    QTest::newRow("length announced over 32 MiB")
        << "oversized, announced" << int(TransportFailure::Kind::TooLarge) << "服务器 127.0.0.1:"
        << "larger than 32 MiB";
    QTest::newRow("over 32 MiB found at the end")
        << "oversized" << int(TransportFailure::Kind::TooLarge) << "服务器 127.0.0.1:"
        << "larger than 32 MiB";
}

void tst_SoapProxy::transportFailures()
{
    QFETCH(QString, server);
    QFETCH(int, kind);
    QFETCH(QString, sentenceStart);
    QFETCH(QString, detailWord);

    std::unique_ptr<RawHttpServer> raw;
    std::unique_ptr<TransportTimeoutsOverride> shortTimeouts;
    QString endpoint = u"http://127.0.0.1:%1/WebService.asmx"_qs.arg(RawHttpServer::closedPort());
    if (server == u"silent"_qs) {
        raw = std::make_unique<RawHttpServer>(QByteArray(), true);
        shortTimeouts = std::make_unique<TransportTimeoutsOverride>(1000, 1500);
    } else if (server.startsWith(u"oversized"_qs)) {
        const QByteArray envelope =
            QByteArray::fromStdString(responseEnvelope("hqsametable", std::string(32 * 1024 * 1024, 'x')));
        QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n";
        if (server.endsWith(u"announced"_qs))
            head += "Content-Length: " + QByteArray::number(envelope.size()) + "\r\n";
        raw = std::make_unique<RawHttpServer>(head + "\r\n" + envelope);
    }
    if (raw)
        endpoint = raw->url();
    SoapProxy proxy(endpoint);
    try {
        proxy.hqsametable(u"select"_qs);
        QFAIL("the call did not fail");
    } catch (const TransportFailure &failure) {
        QCOMPARE(int(failure.kind()), kind);
        const QString text = QString::fromUtf8(failure.what());
        const QString marker = QString::fromUtf8(TransportFailure::DetailMarker);
        QVERIFY2(text.startsWith(sentenceStart), qPrintable(text));
        QVERIFY2(text.indexOf(marker) > 0 && !text.left(text.indexOf(marker)).contains(u"http"_qs),
                 qPrintable(text));
        QCOMPARE(text.mid(text.indexOf(marker) + marker.size()), failure.detail());
        QVERIFY2(failure.detail().contains(detailWord, Qt::CaseInsensitive), qPrintable(failure.detail()));
        QVERIFY2(failure.detail().endsWith(u" - URL:"_qs + endpoint +
                                           u" - SOAPAction:http://tempuri.org/hqsametable"_qs),
                 qPrintable(failure.detail()));
    }
}

void tst_SoapProxy::callsShareOneConnection()
{
    // A server of its own: connections left from other tests would count against the
    // server's limit of requests per connection.
    HttpTestServer fresh;
    fresh.setHandler([](const httplib::Request &, httplib::Response &response) {
        response.set_content(responseEnvelope("hqdlsj", "t"), "text/xml; charset=utf-8");
    });
    // Two proxies, two transports: the connection of the first call serves the second.
    QCOMPARE(ServiceClient::GetWebServiceSoap(fresh.url())->hqdlsj(u"1"_qs), u"t"_qs);
    QCOMPARE(ServiceClient::GetWebServiceSoap(fresh.url())->hqdlsj(u"2"_qs), u"t"_qs);
    const auto requests = fresh.requests();
    QCOMPARE(requests.size(), size_t(2));
    QCOMPARE(requests[1].remotePort, requests[0].remotePort);
}

// Connections are kept per thread: a worker's calls share the worker's connection, and the
// calling thread's connection is still there for it afterwards.
void tst_SoapProxy::eachThreadKeepsItsConnection()
{
    HttpTestServer fresh;
    fresh.setHandler([](const httplib::Request &, httplib::Response &response) {
        response.set_content(responseEnvelope("hqdlsj", "t"), "text/xml; charset=utf-8");
    });
    const auto call = [&fresh] { return ServiceClient::GetWebServiceSoap(fresh.url())->hqdlsj(u"1"_qs); };
    QCOMPARE(call(), u"t"_qs);
    QString workerAnswers;
    std::thread worker([&] { workerAnswers = call() + call(); });
    worker.join();
    QCOMPARE(workerAnswers, u"tt"_qs);
    QCOMPARE(call(), u"t"_qs);

    const auto requests = fresh.requests();
    QCOMPARE(requests.size(), size_t(4));
    QCOMPARE(requests[2].remotePort, requests[1].remotePort);
    QCOMPARE(requests[3].remotePort, requests[0].remotePort);
    QVERIFY(requests[1].remotePort != requests[0].remotePort);
}

void tst_SoapProxy::serviceClientBindsToTheServiceHost()
{
    QCOMPARE(ServiceClient::serviceHost(), QStringLiteral(EXPECTED_SERVICE_HOST));
    QCOMPARE(ServiceClient::endpoint(), QStringLiteral(EXPECTED_SERVICE_HOST "/WebService.asmx"));

    server->setHandler([](const httplib::Request &, httplib::Response &response) {
        response.set_content(responseEnvelope("hqSys_pz", "cfg"), "text/xml; charset=utf-8");
    });
    QString endpoint, answer;
    {
        const ServiceHostOverride host(server->url(u"/"_qs));
        endpoint = ServiceClient::endpoint();
        answer = ServiceClient::GetWebServiceSoap()->hqSys_pz();
    }
    QCOMPARE(ServiceClient::serviceHost(), QStringLiteral(EXPECTED_SERVICE_HOST));

    QCOMPARE(endpoint, server->url());
    QCOMPARE(answer, u"cfg"_qs);
    const auto requests = server->requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(QString::fromStdString(requests.front().path), u"/WebService.asmx"_qs);
}

void tst_SoapProxy::transportGet()
{
    server->setHandler([](const httplib::Request &request, httplib::Response &response) {
        response.set_content(request.path == "/IP.aspx" ? "10.1.2.3" : "?", "text/plain; charset=utf-8");
    });
    const HttpResponse response = HttpTransport::get(server->url(u"/IP.aspx"_qs));
    QCOMPARE(response.status, 200L);
    QCOMPARE(response.reasonPhrase, QByteArray("OK"));
    QCOMPARE(response.contentType, QByteArray("text/plain; charset=utf-8"));
    QCOMPARE(response.body, QByteArray("10.1.2.3"));
    QCOMPARE(QString::fromStdString(server->requests().front().method), u"GET"_qs);
}

QTEST_GUILESS_MAIN(tst_SoapProxy)
#include "tst_SoapProxy.moc"
