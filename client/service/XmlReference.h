#pragma once

// The character and entity references of XML text ("&lt;", "&#38;", "&#x26;"), for texts
// parsed with the parser's own expansion turned off: a reference to the character 0 must
// refuse the answer rather than cut the text where it stands.
class XmlReference
{
public:
    // An '&' that starts no reference; it is kept as it stands, as the parser would.
    static constexpr char32_t None = 0xFFFFFFFF;
    // Numbers past the last Unicode character all read as this one.
    static constexpr char32_t BeyondUnicode = 0x110000;

    // The character that the reference at p (p[0] is '&', the text is zero-terminated)
    // names, with p moved past it; None, with p left alone, for no reference.
    static char32_t read(const char *&p);
};
