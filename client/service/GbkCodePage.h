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
    // Decodes zero-terminated UTF-8 into UTF-16 at out with the same trip applied, writing
    // no further than limit. Returns the end of what was written, or nullptr when the text
    // does not fit.
    static char16_t *roundTripFromUtf8(const char *utf8, char16_t *out, const char16_t *limit);
    // What each UTF-16 code unit reads as after the trip: 0x10000 entries; a surrogate
    // reads as "?" (no character outside the Basic Multilingual Plane exists in GBK).
    static const char16_t *roundTripTable();
};
