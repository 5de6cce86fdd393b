#include "soap/SoapRequest.h"

#include "soap/ClientFault.h"
#include "soap/XmlText.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

const char *const envelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

std::string localName(const pugi::xml_node &node)
{
    const char *name = node.name();
    const char *colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

// The namespace declarations in scope at an element: prefix ("" for the default) to URI.
using Scope = std::map<std::string, std::string>;

// The scope inside node, given the scope around it. Only the few elements a call is read
// through get a scope of their own, each built once from its parent's: resolving a name is a
// lookup, whatever the number of declarations or parameters.
Scope scopeOf(const pugi::xml_node &node, Scope outer)
{
    for (pugi::xml_attribute a : node.attributes()) {
        const char *name = a.name();
        if (std::strcmp(name, "xmlns") == 0)
            outer[""] = a.value();
        else if (std::strncmp(name, "xmlns:", 6) == 0)
            outer[name + 6] = a.value();
    }
    return outer;
}

// Namespace URI of an element whose own declarations are already in scope.
std::string namespaceIn(const pugi::xml_node &node, const Scope &scope)
{
    const char *name = node.name();
    const char *colon = std::strchr(name, ':');
    auto it = scope.find(colon ? std::string(name, colon) : std::string());
    return it == scope.end() ? std::string() : it->second;
}

// Whether the document stays within what any real call needs, by far: its elements and
// attributes counted in one walk, without recursion.
bool withinShape(const pugi::xml_document &document)
{
    std::size_t elements = 0, attributes = 0;
    for (pugi::xml_node node = document.first_child(); node;) {
        if (node.type() == pugi::node_element) {
            if (++elements > SoapRequest::maxElements)
                return false;
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
                if (++attributes > SoapRequest::maxAttributes)
                    return false;
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling())
            node = node.parent();
        if (node)
            node = node.next_sibling();
    }
    return true;
}

pugi::xml_node firstElement(const pugi::xml_node &parent)
{
    for (pugi::xml_node child : parent.children())
        if (child.type() == pugi::node_element)
            return child;
    return {};
}

std::string trimXmlSpace(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

} // namespace

std::optional<std::string> SoapRequest::operationOfAction(const std::string &soapAction,
                                                          const std::set<std::string> &operations)
{
    std::string action = soapAction;
    if (action.size() >= 2 && action.front() == '"' && action.back() == '"')
        action = action.substr(1, action.size() - 2);
    std::string prefix = serviceNamespace;
    if (action.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::string name = action.substr(prefix.size());
    if (!operations.count(name))
        return std::nullopt;
    return name;
}

SoapRequest SoapRequest::parse(const std::string &contentType, const std::optional<std::string> &soapAction,
                               const std::string &body, const std::set<std::string> &operations)
{
    std::string mediaType = trimXmlSpace(contentType.substr(0, contentType.find(';')));
    for (auto &c : mediaType)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (mediaType != "text/xml")
        throw ClientFault("Content type '" + contentType +
                              "' is not supported: a SOAP 1.1 request must be sent as text/xml.",
                          false);

    auto operation = operationOfAction(soapAction.value_or(""), operations);
    if (!operation)
        throw ClientFault(
            "Server did not recognize the value of HTTP Header SOAPAction: " + soapAction.value_or("") + ".",
            false);

    // Whitespace-only values (a password of blanks) are values too. A document type
    // declaration is refused as .asmx refuses it: its entities would not be expanded, and
    // the text would then not be what the sender meant.
    if (XmlText::hasIllegalCharacter(body))
        throw MalformedRequest("the request holds a character XML does not allow");
    // Text limits count characters, which only valid UTF-8 has.
    if (!XmlText::validUtf8(body))
        throw MalformedRequest("the request is not valid UTF-8");
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(
        body.data(), body.size(), pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_doctype);
    if (!parsed || !firstElement(document))
        throw MalformedRequest(parsed.description());
    for (pugi::xml_node node : document.children())
        if (node.type() == pugi::node_doctype)
            throw MalformedRequest("document type declarations are not accepted");
    if (!withinShape(document))
        throw ClientFault("The request holds more elements or attributes than a call has.");

    pugi::xml_node envelope = firstElement(document);
    Scope envelopeScope = scopeOf(envelope, {});
    if (localName(envelope) != "Envelope" || namespaceIn(envelope, envelopeScope) != envelopeNamespace)
        throw ClientFault("The request is not a SOAP 1.1 envelope.");
    pugi::xml_node soapBody;
    Scope bodyScope;
    for (pugi::xml_node child : envelope.children()) {
        if (child.type() != pugi::node_element || localName(child) != "Body")
            continue;
        Scope scope = scopeOf(child, envelopeScope);
        if (namespaceIn(child, scope) == envelopeNamespace) {
            soapBody = child;
            bodyScope = std::move(scope);
            break;
        }
    }
    if (!soapBody)
        throw ClientFault("The envelope has no Body.");
    pugi::xml_node call = firstElement(soapBody);
    Scope callScope = call ? scopeOf(call, bodyScope) : Scope();
    if (!call || localName(call) != *operation || namespaceIn(call, callScope) != serviceNamespace)
        throw ClientFault("The body element does not match the SOAPAction " + *operation + ".");

    SoapRequest request;
    request.operation_ = *operation;
    for (pugi::xml_node parameter : call.children()) {
        if (parameter.type() != pugi::node_element ||
            namespaceIn(parameter, scopeOf(parameter, callScope)) != serviceNamespace)
            continue;
        std::string value;
        for (pugi::xml_node part : parameter.children()) {
            if (part.type() == pugi::node_element)
                throw ClientFault("Parameter " + localName(parameter) +
                                  " holds elements instead of a value.");
            if (part.type() == pugi::node_pcdata || part.type() == pugi::node_cdata)
                value += part.value();
        }
        request.parameters_.emplace(localName(parameter), std::move(value));
    }
    return request;
}

std::string SoapRequest::text(const std::string &name) const
{
    auto it = parameters_.find(name);
    if (it == parameters_.end())
        throw ClientFault("Parameter " + name + " is missing.");
    return it->second;
}

int SoapRequest::int32(const std::string &name) const
{
    std::string value = text(name);
    auto number = parseInt32(value);
    if (!number)
        throw ClientFault("The value of " + name + " is not a valid 32-bit integer: '" + value + "'.");
    return *number;
}

double SoapRequest::real(const std::string &name) const
{
    std::string value = text(name);
    auto number = parseDouble(value);
    if (!number)
        throw ClientFault("The value of " + name + " is not a valid double: '" + value + "'.");
    return *number;
}

std::optional<int> SoapRequest::parseInt32(const std::string &input)
{
    std::string text = trimXmlSpace(input);
    const char *begin = text.data();
    const char *end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end || (*begin == '-' && begin + 1 == end))
        return std::nullopt;
    int value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<double> SoapRequest::parseDouble(const std::string &input)
{
    std::string text = trimXmlSpace(input);
    if (text == "INF")
        return HUGE_VAL;
    if (text == "-INF")
        return -HUGE_VAL;
    if (text == "NaN")
        return std::nan("");
    // Only the decimal form of XML Schema: no hexadecimal, no "inf"/"nan" spellings.
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return std::nullopt;
    const char *begin = text.data();
    if (*begin == '+')
        ++begin;
    double value = 0;
    auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string SoapRequest::formatDouble(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string out(buffer, ptr);
    for (auto &c : out)
        if (c == 'e')
            c = 'E';
    return out;
}
