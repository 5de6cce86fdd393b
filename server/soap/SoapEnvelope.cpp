#include "soap/SoapEnvelope.h"

#include "soap/XmlText.h"

namespace {

const char *const head = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                         "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>";
const char *const tail = "</soap:Body></soap:Envelope>";

} // namespace

std::string SoapEnvelope::response(const std::string &operation, const std::string &resultText)
{
    // Every call's answer is built here: appended in place, without a temporary per piece.
    std::string escaped = XmlText::escape(resultText);
    std::string out;
    out.reserve(std::char_traits<char>::length(head) + std::char_traits<char>::length(tail) +
                4 * operation.size() + escaped.size() + 64);
    out += head;
    out.append("<").append(operation).append("Response xmlns=\"http://tempuri.org/\">");
    if (escaped.empty())
        out.append("<").append(operation).append("Result />");
    else
        out.append("<")
            .append(operation)
            .append("Result>")
            .append(escaped)
            .append("</")
            .append(operation)
            .append("Result>");
    out.append("</").append(operation).append("Response>");
    out += tail;
    return out;
}

std::string SoapEnvelope::fault(const std::string &code, const std::string &faultString)
{
    return std::string(head) + "<soap:Fault><faultcode>" + code + "</faultcode><faultstring>" +
           XmlText::escape(faultString) + "</faultstring><detail /></soap:Fault>" + tail;
}
