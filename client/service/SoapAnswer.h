#pragma once

#include "HttpTransport.h"

#include <QString>

// The HTTP answer to one SOAP 1.1 operation, read: the text of the result element, or
// the error the answer stands for.
class SoapAnswer
{
public:
    // The text of the operation's result element as it arrived (empty when the element is
    // left out). Throws std::runtime_error with the fault string of a fault, or with a
    // message naming the status (with endpointUrl), the content type, or what is missing.
    static QString resultText(const HttpResponse &response, const char *operation,
                              const QString &endpointUrl);
};
