#pragma once

#include <string>

// A JSON string literal for any bytes: quotes, backslashes and control characters escaped, bytes
// that are not UTF-8 replaced, so a log line stays one valid JSON object whatever a peer sent.
class JsonText
{
public:
    static std::string quoted(const std::string &text);
};
