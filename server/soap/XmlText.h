#pragma once

#include <string>

// Escaping for XML character data and attribute values. Characters XML 1.0 cannot carry
// (control characters other than tab and line ends, broken UTF-8) become "?", so that an
// answer is always well-formed; a carriage return is written as a reference so that it
// survives the reader's line-end normalisation.
class XmlText
{
public:
    static std::string escape(const std::string &text);
    // The same for HTML pages (also escapes quotes).
    static std::string escapeHtml(const std::string &text);
    // Whether text is valid UTF-8.
    static bool validUtf8(const std::string &text);
    // Whether a document holds a character XML does not allow, written as it is or as a
    // character reference ("&#0;"). The parser would read such a NUL as the end of a value
    // and hand on a shorter text than the one sent.
    static bool hasIllegalCharacter(const std::string &document);
};
