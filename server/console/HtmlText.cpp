#include "console/HtmlText.h"

std::string HtmlText::escape(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
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
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\0':
            out += "\xEF\xBF\xBD"; // U+FFFD: a NUL would end the text for some readers
            break;
        default:
            out += c;
        }
    }
    return out;
}
