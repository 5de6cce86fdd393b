#include "SoapProxy.h"

#include "HttpTransport.h"
#include "TextConversions.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

constexpr const char *TargetNamespace = "http://tempuri.org/";
constexpr const char *EnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

std::string_view localName(const pugi::xml_node &node)
{
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Prefixes are whatever the service picked ("soap", "soap11env", "SOAP-ENV", none): an
// element is identified by its namespace, found through the xmlns declarations in scope.
std::string_view namespaceOf(const pugi::xml_node &node)
{
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    const std::string attribute = colon == std::string_view::npos
                                      ? std::string("xmlns")
                                      : "xmlns:" + std::string(name.substr(0, colon));
    for (pugi::xml_node scope = node; scope && scope.type() == pugi::node_element; scope = scope.parent()) {
        if (const pugi::xml_attribute declared = scope.attribute(attribute.c_str()))
            return declared.value();
    }
    return {};
}

bool is(const pugi::xml_node &node, std::string_view ns, std::string_view local)
{
    return node.type() == pugi::node_element && localName(node) == local && namespaceOf(node) == ns;
}

pugi::xml_node firstElement(const pugi::xml_node &parent)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            return child;
    }
    return {};
}

// All character data of an element: text and CDATA sections, in order.
QString textOf(const pugi::xml_node &element)
{
    std::string text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
    }
    return QString::fromStdString(text);
}

struct Envelope
{
    pugi::xml_document document;
    pugi::xml_node firstInBody; // the response element or a Fault
    bool parsed = false;

    explicit Envelope(const QByteArray &body)
    {
        // Whitespace-only text is kept: a result of blanks is still a result.
        const pugi::xml_parse_result result =
            document.load_buffer(body.constData(), static_cast<size_t>(body.size()),
                                 pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_auto);
        if (!result)
            return;
        parsed = true;
        const pugi::xml_node envelope = document.document_element();
        if (!is(envelope, EnvelopeNamespace, "Envelope"))
            return;
        for (pugi::xml_node child = envelope.first_child(); child; child = child.next_sibling()) {
            if (is(child, EnvelopeNamespace, "Body")) {
                firstInBody = firstElement(child);
                break;
            }
        }
    }

    bool isFault() const { return firstInBody && is(firstInBody, EnvelopeNamespace, "Fault"); }

    // SOAP 1.1 leaves faultstring unqualified; some services qualify it anyway.
    bool faultString(QString &text) const
    {
        for (pugi::xml_node child = firstInBody.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element && localName(child) == "faultstring") {
                text = textOf(child);
                return true;
            }
        }
        return false;
    }
};

class ByteWriter : public pugi::xml_writer
{
public:
    QByteArray bytes;
    void write(const void *data, size_t size) override
    {
        bytes.append(static_cast<const char *>(data), static_cast<qsizetype>(size));
    }
};

} // namespace

SoapProxy::SoapProxy(const QString &endpoint) : endpointUrl(endpoint) {}

QString SoapProxy::call(const char *operation, std::initializer_list<Parameter> parameters)
{
    pugi::xml_document request;
    pugi::xml_node declaration = request.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node envelope = request.append_child("soap:Envelope");
    envelope.append_attribute("xmlns:soap") = EnvelopeNamespace;
    envelope.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    envelope.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
    pugi::xml_node body = envelope.append_child("soap:Body");
    pugi::xml_node operationElement = body.append_child(operation);
    operationElement.append_attribute("xmlns") = TargetNamespace;
    for (const Parameter &parameter : parameters) {
        pugi::xml_node element = operationElement.append_child(parameter.name);
        if (!parameter.text.isEmpty())
            element.text().set(parameter.text.toUtf8().constData());
    }
    ByteWriter writer;
    request.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
    // The envelope itself is written on one line, so a carriage return can only come from
    // a value. Written raw, the server's parser would turn CR LF into LF; as a character
    // reference it arrives as sent.
    QByteArray xml = writer.bytes;
    xml.replace("\r", "&#13;");

    const QString action = QString::fromLatin1(TargetNamespace) + QString::fromLatin1(operation);
    const HttpTransport::Headers headers = {
        {"SOAPAction", '"' + action.toUtf8() + '"'},
        {"Content-Type", "text/xml; charset=\"utf-8\""},
    };

    HttpResponse response;
    try {
        response = HttpTransport::post(endpointUrl, headers, xml);
    } catch (const std::exception &error) {
        fail(QStringLiteral("%1 - URL:%2 - SOAPAction:%3")
                 .arg(QString::fromUtf8(error.what()), endpointUrl, action));
    }

    const QString statusError = QStringLiteral("%1 (%2) - '%3'")
                                    .arg(QString::fromUtf8(response.reasonPhrase))
                                    .arg(response.status)
                                    .arg(endpointUrl);
    if (response.status == 500) {
        const Envelope answer(response.body);
        QString faultText;
        if (answer.isFault() && answer.faultString(faultText))
            fail(faultText);
        fail(statusError);
    }
    if (response.status >= 300)
        fail(statusError);

    const QByteArray mediaType = response.contentType.split(';').first().trimmed().toLower();
    if (mediaType == "text/plain" || mediaType == "text/html")
        fail(
            QStringLiteral("Received content of invalid Content-Type setting: %1 - SOAP expects \"text/xml\"")
                .arg(QString::fromUtf8(response.contentType)));

    const Envelope answer(response.body);
    if (!answer.parsed)
        fail(QStringLiteral("The answer to %1 is not well-formed XML").arg(QString::fromLatin1(operation)));
    if (answer.isFault()) {
        QString faultText;
        if (answer.faultString(faultText))
            fail(faultText);
        fail(QStringLiteral("The answer to %1 is a fault without a fault string")
                 .arg(QString::fromLatin1(operation)));
    }
    if (!answer.firstInBody)
        fail(QStringLiteral("The answer to %1 holds no %1Response element in a SOAP body")
                 .arg(QString::fromLatin1(operation)));
    // A result element left out (a null string) reads as empty text.
    const pugi::xml_node result = firstElement(answer.firstInBody);
    return result ? textOf(result) : QString();
}

QString SoapProxy::callForText(const char *operation, std::initializer_list<Parameter> parameters)
{
    return TextConversions::throughGbk(call(operation, parameters));
}

QString SoapProxy::formatDouble(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    char text[64];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, written.ptr - text);
}

double SoapProxy::parseDouble(const QString &text)
{
    const QByteArray bytes = TextConversions::trim(text).toLatin1();
    if (bytes == "INF" || bytes == "+INF")
        return HUGE_VAL;
    if (bytes == "-INF")
        return -HUGE_VAL;
    if (bytes == "NaN")
        return std::nan("");
    const char *begin = bytes.constData();
    const char *const end = begin + bytes.size();
    if (begin != end && *begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin;
    double value = 0;
    const std::from_chars_result read = std::from_chars(begin, end, value);
    if (bytes.isEmpty() || read.ec != std::errc() || read.ptr != end || std::isnan(value) ||
        std::isinf(value))
        fail(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

double SoapProxy::addition(double i, double j)
{
    return parseDouble(call("addition", {{"i", formatDouble(i)}, {"j", formatDouble(j)}}));
}

QString SoapProxy::yanzheng(const QString &username, const QString &userpass)
{
    return callForText("yanzheng", {{"username", TextConversions::throughGbk(username)},
                                    {"userpass", TextConversions::throughGbk(userpass)}});
}

QString SoapProxy::zhixing(const QString &sql)
{
    return callForText("zhixing", {{"sql", TextConversions::throughGbk(sql)}});
}

double SoapProxy::jian(double i, double j)
{
    return parseDouble(call("jian", {{"i", formatDouble(i)}, {"j", formatDouble(j)}}));
}

QString SoapProxy::hqSys_pz()
{
    return callForText("hqSys_pz", {});
}

QString SoapProxy::hqdlyhxx(const QString &username, const QString &userpass)
{
    return callForText("hqdlyhxx", {{"username", TextConversions::throughGbk(username)},
                                    {"userpass", TextConversions::throughGbk(userpass)}});
}

int SoapProxy::hqsfczjl(const QString &strsql)
{
    return TextConversions::toInt(
        TextConversions::trim(call("hqsfczjl", {{"strsql", TextConversions::throughGbk(strsql)}})));
}

QString SoapProxy::hqsametable(const QString &strsql)
{
    return callForText("hqsametable", {{"strsql", TextConversions::throughGbk(strsql)}});
}

QString SoapProxy::ifchangetable(int userdj)
{
    return callForText("ifchangetable", {{"userdj", QString::number(userdj)}});
}

QString SoapProxy::hqdlsj(const QString &userid)
{
    return callForText("hqdlsj", {{"userid", TextConversions::throughGbk(userid)}});
}
