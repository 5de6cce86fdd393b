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
    static const auto &map = table().map;
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

char16_t *GbkCodePage::roundTripFromUtf8(const char *utf8, char16_t *out, const char16_t *limit)
{
    static const auto &map = table().map;
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    for (;;) {
        const unsigned lead = *p++;
        if (lead == 0)
            return out;
        if (out == limit)
            return nullptr;
        if (lead < 0x80) {
            *out++ = static_cast<char16_t>(lead);
            continue;
        }
        // Character references in a document can name any character, so the decoded text
        // gets the trip too. Anything outside the BMP, or a malformed sequence, reads "?".
        if (lead >= 0xE0 && lead < 0xF0 && (p[0] & 0xC0) == 0x80 && (p[1] & 0xC0) == 0x80) {
            const char32_t c = ((lead & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F);
            p += 2;
            *out++ = map[c];
        } else if (lead >= 0xC2 && lead < 0xE0 && (p[0] & 0xC0) == 0x80) {
            const char32_t c = ((lead & 0x1F) << 6) | (p[0] & 0x3F);
            p += 1;
            *out++ = map[c];
        } else {
            // Four-byte sequences (outside the BMP) and stray bytes: skip the continuation
            // bytes so the whole character reads as one "?".
            while ((*p & 0xC0) == 0x80)
                ++p;
            *out++ = Unmappable;
        }
    }
}

const char16_t *GbkCodePage::roundTripTable()
{
    return table().map.data();
}
