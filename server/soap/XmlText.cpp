#include "soap/XmlText.h"

#include <algorithm>
#include <optional>

namespace {

// Length of the UTF-8 sequence at pos, or 0 when it is malformed or not a valid XML character.
size_t sequenceLength(const std::string &s, size_t pos)
{
    auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = byte(pos);
    size_t length;
    unsigned code;
    if (c < 0x80)
        return 1;
    if ((c & 0xe0) == 0xc0)
        length = 2, code = c & 0x1f;
    else if ((c & 0xf0) == 0xe0)
        length = 3, code = c & 0x0f;
    else if ((c & 0xf8) == 0xf0)
        length = 4, code = c & 0x07;
    else
        return 0;
    if (pos + length > s.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (byte(pos + i) & 0x3f);
    }
    static const unsigned minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < minimum[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff) || code == 0xfffe ||
        code == 0xffff)
        return 0;
    return length;
}

// Printable ASCII other than the markup characters: written as it is. Most of an answer is
// such text, so it is copied in runs rather than a character at a time.
bool plainAscii(unsigned char c)
{
    return c >= 0x20 && c < 0x80 && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
}

std::string escapeWith(const std::string &text, bool quotes)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size();) {
        size_t run = i;
        while (run < text.size() && plainAscii(static_cast<unsigned char>(text[run])))
            ++run;
        if (run > i) {
            out.append(text, i, run - i);
            i = run;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = sequenceLength(text, i);
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        ++i;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#xD;";
            break;
        case '"':
            out += quotes ? "&quot;" : "\"";
            break;
        case '\'':
            out += quotes ? "&#39;" : "'";
            break;
        default:
            if (c < 0x20 && c != '\t' && c != '\n')
                out += '?';
            else
                out += char(c);
        }
    }
    return out;
}

} // namespace

std::string XmlText::escape(const std::string &text)
{
    return escapeWith(text, false);
}

std::string XmlText::escapeHtml(const std::string &text)
{
    return escapeWith(text, true);
}

bool XmlText::validUtf8(const std::string &text)
{
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i; // ASCII, the bulk of a request, needs no decoding
            continue;
        }
        size_t length = sequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

namespace {

bool allowedInXml(unsigned long code)
{
    if (code < 0x20)
        return code == 0x9 || code == 0xA || code == 0xD;
    return !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF && code <= 0x10FFFF;
}

// The code of the character reference that starts at pos ("&#"), or nullopt when there is
// none (the parser will then refuse the text itself).
std::optional<unsigned long> referenceAt(const std::string &text, size_t pos)
{
    size_t i = pos + 2;
    bool hex = i < text.size() && text[i] == 'x';
    if (hex)
        ++i;
    unsigned long code = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] != ';'; ++i, ++digits) {
        int value = -1;
        char c = text[i];
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            value = c - 'A' + 10;
        if (value < 0)
            return std::nullopt;
        code = std::min(code * (hex ? 16 : 10) + unsigned(value), 0x110000ul);
    }
    if (digits == 0 || i >= text.size())
        return std::nullopt;
    return code;
}

} // namespace

bool XmlText::hasIllegalCharacter(const std::string &document)
{
    for (size_t pos = 0; pos < document.size(); ++pos) {
        unsigned char c = static_cast<unsigned char>(document[pos]);
        if (c < 0x20 && !allowedInXml(c))
            return true;
        if (c == '&' && pos + 1 < document.size() && document[pos + 1] == '#') {
            auto code = referenceAt(document, pos);
            if (code && !allowedInXml(*code))
                return true;
        }
    }
    return false;
}
