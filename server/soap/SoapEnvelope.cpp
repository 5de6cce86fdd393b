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
    std::string result = operation + "Result";
    std::string out = head;
    out += "<" + operation + "Response xmlns=\"http://tempuri.org/\">";
    if (resultText.empty())
        out += "<" + result + " />";
    else
        out += "<" + result + ">" + XmlText::escape(resultText) + "</" + result + ">";
    out += "</" + operation + "Response>";
    out += tail;
    return out;
}

std::string SoapEnvelope::fault(const std::string &code, const std::string &faultString)
{
    return std::string(head) + "<soap:Fault><faultcode>" + code + "</faultcode><faultstring>" +
           XmlText::escape(faultString) + "</faultstring><detail /></soap:Fault>" + tail;
}
