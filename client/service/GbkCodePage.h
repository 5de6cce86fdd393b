#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The client keeps its texts in the GBK code page, so every text that passes between the
// client and the service (parameters, results, result documents) reads afterwards as it
// would after a trip to GBK and back: characters GBK cannot hold become "?".
//
// The trip is done through a table built once from Qt's GBK codec, one entry per UTF-16
// code unit; it gives the codec's answer without running the codec over every answer.
class GbkCodePage
{
public:
    static QString roundTrip(QStringView text);
    // What the character reads as after the trip; anything outside the Basic Multilingual
    // Plane, and a lone surrogate, reads "?".
    static char16_t roundTrip(char32_t character);
    // Decodes UTF-8 from utf8 into UTF-16 at out with the trip applied, up to the first
    // zero byte or, with stopAtAmpersand, the first '&' (where an XML reference starts).
    // Both pointers are left where the decoding stopped: utf8 at the zero or the '&'.
    // Writes nothing at or beyond limit: returns false when the text does not fit there.
    static bool fromUtf8(const char *&utf8, char16_t *&out, const char16_t *limit,
                         bool stopAtAmpersand = false);
};
