#include "SoapProxy.h"

#include "CertificateRefused.h"
#include "HttpTransport.h"
#include "SoapAnswer.h"
#include "TextConversions.h"
#include "TransportFailure.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

constexpr const char *TargetNamespace = "http://tempuri.org/";
constexpr const char *EnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

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
    } catch (const CertificateRefused &) {
        throw; // its own words for the subscriber
    } catch (const TransportFailure &failure) {
        throw failure.withDetail(QStringLiteral(" - URL:%1 - SOAPAction:%2").arg(endpointUrl, action));
    } catch (const std::exception &error) {
        fail(QStringLiteral("%1 - URL:%2 - SOAPAction:%3")
                 .arg(QString::fromUtf8(error.what()), endpointUrl, action));
    }

    return SoapAnswer::resultText(response, operation, endpointUrl);
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
