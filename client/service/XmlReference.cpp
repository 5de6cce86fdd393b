#include "XmlReference.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

int digitValue(char c, int base)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
        return (c | 0x20) - 'a' + 10;
    return -1;
}

// "&#38;" or "&#x26;" at p; p moves past it. Only a lower-case x marks hexadecimal.
char32_t readCharacterReference(const char *&p)
{
    const char *q = p + 2;
    const bool hexadecimal = *q == 'x';
    const int base = hexadecimal ? 16 : 10;
    q += hexadecimal ? 1 : 0;
    const char *const digits = q;
    char32_t value = 0;
    // The cap also keeps the sum from overflowing.
    for (int digit; (digit = digitValue(*q, base)) >= 0; ++q)
        value = std::min<char32_t>(value * base + digit, XmlReference::BeyondUnicode);
    if (q == digits || *q != ';')
        return XmlReference::None;
    p = q + 1;
    return value;
}

} // namespace

char32_t XmlReference::read(const char *&p)
{
    if (p[1] == '#')
        return readCharacterReference(p);
    struct Entity
    {
        std::string_view name;
        char32_t character;
    };
    static constexpr Entity entities[] = {
        {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const Entity &entity : entities) {
        // strncmp stops at the text's terminating zero.
        if (std::strncmp(p + 1, entity.name.data(), entity.name.size()) == 0) {
            p += 1 + entity.name.size();
            return entity.character;
        }
    }
    return None;
}
