#include "cli/TerminalText.h"

#include "store/Utf8Text.h"

#include <cstdio>

namespace {

std::string hexEscape(const char *format, unsigned code)
{
    char escape[16];
    std::snprintf(escape, sizeof escape, format, code);
    return escape;
}

// Characters that change how the text around them is laid out: the bidirectional
// embeddings, overrides and isolates, with which a value can show another order than the
// one it holds.
bool reorders(char32_t code)
{
    return code == 0x200E || code == 0x200F || code == 0x061C || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

std::string escapedCharacter(char32_t code)
{
    switch (code) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    case '\\':
        return "\\\\";
    }
    if (code < 0x20 || code == 0x7F)
        return hexEscape("\\x%02x", unsigned(code));
    if ((code >= 0x80 && code <= 0x9F) || reorders(code))
        return hexEscape("\\u%04x", unsigned(code));
    return {};
}

} // namespace

std::string TerminalText::shown(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        auto character = Utf8Text::at(text, pos);
        if (!character) {
            shown += hexEscape("\\x%02x", static_cast<unsigned char>(text[pos]));
            ++pos;
            continue;
        }
        std::string escape = escapedCharacter(character->code);
        if (escape.empty())
            shown.append(text.substr(pos, character->length));
        else
            shown += escape;
        pos += character->length;
    }
    return shown;
}
