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
    // The same text, encoded as UTF-8 (for the XML parser) in one pass.
    static QByteArray roundTripToUtf8(QStringView text);
};
