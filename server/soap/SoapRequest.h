#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

// The body of a POST is not well-formed XML (answered with HTTP 400 and an empty body).
class MalformedRequest : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One SOAP 1.1 call, document/literal wrapped, in the namespace http://tempuri.org/.
// Parsing throws MalformedRequest or ClientFault with the reason an .asmx service gives.
// Which operations there are is the service's to say: the reader is given their names.
class SoapRequest
{
public:
    static constexpr const char *serviceNamespace = "http://tempuri.org/";
    // Bounds no real call comes near (one has five or six elements and a few declarations);
    // a request beyond them is refused before any name in it is resolved.
    static constexpr std::size_t maxElements = 256;
    static constexpr std::size_t maxAttributes = 256;

    // contentType and soapAction are the raw header values (soapAction absent: nullopt).
    static SoapRequest parse(const std::string &contentType, const std::optional<std::string> &soapAction,
                             const std::string &body, const std::set<std::string> &operations);

    // The operation named by a SOAPAction value (quotes allowed) when it is one of operations.
    static std::optional<std::string> operationOfAction(const std::string &soapAction,
                                                        const std::set<std::string> &operations);

    const std::string &operation() const { return operation_; }

    // Parameter values; a missing parameter or a value of the wrong type throws ClientFault.
    std::string text(const std::string &name) const;
    int int32(const std::string &name) const;
    double real(const std::string &name) const;

    // Number forms of XML Schema (exposed for tests).
    static std::optional<int> parseInt32(const std::string &text);
    static std::optional<double> parseDouble(const std::string &text);
    static std::string formatDouble(double value);

private:
    std::string operation_;
    std::map<std::string, std::string> parameters_;
};
