#include "SoapAnswer.h"

#include "XmlReference.h"

#include <pugixml.hpp>

#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

constexpr const char *EnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

void appendUtf8(std::string &out, char32_t character)
{
    // A number that names no character (a surrogate, beyond Unicode) reads as U+FFFD.
    if ((character >= 0xD800 && character < 0xE000) || character >= XmlReference::BeyondUnicode)
        character = 0xFFFD;
    if (character < 0x80) {
        out += static_cast<char>(character);
    } else if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (character >> 18));
        out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
}

// The text with its references expanded (the parser leaves them, see Envelope). A
// reference to the character 0 becomes a zero byte, for textOf to refuse.
std::string expanded(const char *text)
{
    std::string out;
    while (const char *const ampersand = std::strchr(text, '&')) {
        out.append(text, static_cast<size_t>(ampersand - text));
        text = ampersand;
        const char32_t character = XmlReference::read(text);
        if (character == XmlReference::None) {
            out += '&';
            ++text;
        } else {
            appendUtf8(out, character);
        }
    }
    return out + text;
}

std::string_view localName(const pugi::xml_node &node)
{
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Prefixes are whatever the service picked ("soap", "soap11env", "SOAP-ENV", none): an
// element is identified by its namespace, found through the xmlns declarations in scope.
std::string namespaceOf(const pugi::xml_node &node)
{
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    const std::string attribute = colon == std::string_view::npos
                                      ? std::string("xmlns")
                                      : "xmlns:" + std::string(name.substr(0, colon));
    for (pugi::xml_node scope = node; scope && scope.type() == pugi::node_element; scope = scope.parent()) {
        if (const pugi::xml_attribute declared = scope.attribute(attribute.c_str()))
            return expanded(declared.value());
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

// All character data of an element: text and CDATA sections, in order. No XML document
// holds the character 0; cut there, the text would pass on as something never sent.
QString textOf(const pugi::xml_node &element)
{
    std::string text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata)
            text += expanded(child.value());
        else if (child.type() == pugi::node_cdata)
            text += child.value();
    }
    if (text.find('\0') != std::string::npos)
        fail(QStringLiteral("The answer is not well-formed XML: it holds the character 0 (NUL)"));
    return QString::fromStdString(text);
}

struct Envelope
{
    pugi::xml_document document;
    pugi::xml_node firstInBody; // the response element or a Fault
    bool parsed = false;

    explicit Envelope(const QByteArray &body)
    {
        // Whitespace-only text is kept: a result of blanks is still a result. References are
        // left in the text, to be expanded by textOf: the parser would cut a text at a
        // reference to the character 0 without a word.
        constexpr unsigned options = (pugi::parse_default & ~pugi::parse_escapes) | pugi::parse_ws_pcdata;
        const pugi::xml_parse_result result = document.load_buffer(
            body.constData(), static_cast<size_t>(body.size()), options, pugi::encoding_auto);
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

} // namespace

QString SoapAnswer::resultText(const HttpResponse &response, const char *operation,
                               const QString &endpointUrl)
{
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
