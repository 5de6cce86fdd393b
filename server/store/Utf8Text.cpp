#include "store/Utf8Text.h"

std::optional<Utf8Text::Character> Utf8Text::at(std::string_view text, std::size_t pos)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80)
        return Character{lead, 1};
    std::size_t length = (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || pos + length > text.size())
        return std::nullopt;
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return std::nullopt;
        code = (code << 6) | (byte(pos + i) & 0x3F);
    }
    static constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return Character{code, length};
}

bool Utf8Text::valid(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        auto character = at(text, pos);
        if (!character)
            return false;
        pos += character->length;
    }
    return true;
}
