#include "http/HttpRequest.h"

#include <strings.h>

std::optional<std::string> HttpRequest::header(const std::string &name) const
{
    for (const auto &[key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    return std::nullopt;
}

std::vector<std::string> HttpRequest::headerValues(const std::string &name) const
{
    std::vector<std::string> values;
    for (const auto &[key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            values.push_back(value);
    return values;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A "%" not followed by two hexadecimal digits stays as it is.
std::string percentDecoded(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
                   hexDigit(text[i + 2]) >= 0) {
            out += char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> decodeQuery(const std::string &query)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        std::string part = query.substr(start, end - start);
        if (!part.empty()) {
            size_t eq = part.find('=');
            std::string name = percentDecoded(part.substr(0, eq));
            std::string value = eq == std::string::npos ? std::string() : percentDecoded(part.substr(eq + 1));
            if (name.find('\0') != std::string::npos || value.find('\0') != std::string::npos)
                return std::nullopt;
            pairs.emplace_back(std::move(name), std::move(value));
        }
        start = end + 1;
    }
    return pairs;
}

std::string queryValue(const std::vector<std::pair<std::string, std::string>> &pairs, const std::string &name)
{
    for (const auto &[key, value] : pairs)
        if (key == name)
            return value;
    return {};
}
