#include "GbkCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <stdexcept>

namespace {

constexpr char16_t Unmappable = u'?';

// map[u] is what the UTF-16 unit u reads as after GBK and back. Surrogates are not in
// the table: no character outside the Basic Multilingual Plane exists in GBK, so a pair
// always reads as one "?".
struct RoundTripTable
{
    std::array<char16_t, 0x10000> map{};

    RoundTripTable()
    {
        QStringEncoder encoder("GBK");
        QStringDecoder decoder("GBK");
        if (!encoder.isValid() || !decoder.isValid())
            throw std::runtime_error("The GBK code page is not available");
        for (char32_t u = 0; u < 0x80; ++u)
            map[u] = static_cast<char16_t>(u);
        for (char32_t u = 0x80; u < 0x10000; ++u) {
            if (u >= 0xD800 && u < 0xE000) {
                map[u] = Unmappable;
                continue;
            }
            const QChar in(static_cast<char16_t>(u));
            const QByteArray bytes = encoder.encode(QStringView(&in, 1));
            const QString back = decoder.decode(bytes);
            // A few format characters (soft hyphen and the like) encode to nothing at all;
            // they are characters GBK cannot hold, so they read as "?" like the others.
            map[u] = back.size() == 1 ? back.at(0).unicode() : Unmappable;
            encoder.resetState();
            decoder.resetState();
        }
    }
};

const RoundTripTable &table()
{
    static const RoundTripTable instance;
    return instance;
}

// Calls put(char16_t) for each unit of the text after the round trip.
template <typename Put> void forEachMapped(QStringView text, Put &&put)
{
    const auto &map = table().map;
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        const char16_t c = *p++;
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            ++p;
            put(Unmappable);
        } else {
            put(map[c]);
        }
    }
}

} // namespace

QString GbkCodePage::roundTrip(QStringView text)
{
    QString result(text.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    char16_t *const begin = out;
    forEachMapped(text, [&out](char16_t c) { *out++ = c; });
    result.truncate(out - begin);
    return result;
}

QByteArray GbkCodePage::roundTripToUtf8(QStringView text)
{
    // Every mapped unit is in the BMP and no surrogate, so three bytes per unit at most.
    QByteArray result(text.size() * 3, Qt::Uninitialized);
    char *out = result.data();
    char *const begin = out;
    forEachMapped(text, [&out](char16_t c) {
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    });
    result.truncate(out - begin);
    return result;
}
