#pragma once

#include <string>

// Answers shaped as an .asmx service writes them: one line, UTF-8, soap: prefix, the xsi and
// xsd declarations.
class SoapEnvelope
{
public:
    // <opResponse xmlns="http://tempuri.org/"><opResult>text</opResult></opResponse>
    static std::string response(const std::string &operation, const std::string &resultText);
    // A fault with faultcode soap:Client or soap:Server and an empty detail.
    static std::string fault(const std::string &code, const std::string &faultString);
};
