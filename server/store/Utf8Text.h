#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Strict UTF-8 decoding for text that comes from outside the service's own writes (a
// database file being copied, values the operator's commands print): overlong forms,
// surrogates and code points above U+10FFFF are not characters.
class Utf8Text
{
public:
    struct Character
    {
        char32_t code;
        std::size_t length; // bytes
    };
    // The character that starts at pos; nullopt when the bytes there are no valid UTF-8 (the
    // byte at pos then stands alone).
    static std::optional<Character> at(std::string_view text, std::size_t pos);
    static bool valid(std::string_view text);
};
