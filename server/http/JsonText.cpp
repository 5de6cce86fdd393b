#include "http/JsonText.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
std::size_t utf8Length(const std::string &text, std::size_t i)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

std::string JsonText::quoted(const std::string &text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
        } else if (std::size_t length = utf8Length(text, i)) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    return out + "\"";
}
