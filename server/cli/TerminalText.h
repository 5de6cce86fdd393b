#pragma once

#include <string>
#include <string_view>

// What the operator's commands print of stored or given text (names of anonymous applicants,
// settings, database messages): one value stays on its line and in its column, and nothing
// in it reaches the terminal as a control. Line breaks and tabs become \n, \r, \t; other
// control characters (C0, DEL, C1) and the marks that reorder text on screen become \xNN or
// \uNNNN; bytes that are no UTF-8 become \xNN; a backslash is doubled, so every escape
// reads one way.
class TerminalText
{
public:
    static std::string shown(std::string_view text);
};
