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

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The character of the UTF-8 sequence at p (which starts with a byte above 0x7F) after the
// trip; p moves past the sequence. Each test of a byte after the lead stops at a zero,
// which is no continuation byte: nothing past the text's terminating zero is read.
Q_ALWAYS_INLINE char16_t fromSequence(const char16_t *map, const unsigned char *&p)
{
    const unsigned lead = p[0];
    if (lead - 0xE0 < 0x10 && isContinuation(p[1]) && isContinuation(p[2])) {
        const unsigned character = ((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        p += 3;
        // An overlong form could smuggle in any ASCII character, the zero included.
        return character >= 0x800 ? map[character] : Unmappable;
    }
    if (lead - 0xC2 < 0x1E && isContinuation(p[1])) {
        const unsigned character = ((lead & 0x1F) << 6) | (p[1] & 0x3F);
        p += 2;
        return map[character];
    }
    // Four-byte sequences (outside the BMP) and stray bytes: the whole character reads as
    // one "?".
    ++p;
    while (isContinuation(*p))
        ++p;
    return Unmappable;
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

char16_t GbkCodePage::roundTrip(char32_t character)
{
    static const auto &map = table().map;
    return character < map.size() ? map[character] : Unmappable;
}

bool GbkCodePage::fromUtf8(const char *&utf8, char16_t *&out, const char16_t *limit, bool stopAtAmpersand)
{
    static const char16_t *const map = table().map.data();
    const unsigned stop = stopAtAmpersand ? '&' : 0;
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    char16_t *o = out;
    bool fits = true;
    for (;; ++o) {
        const unsigned lead = *p;
        // Most bytes of a text are digits, letters and punctuation after the '&': one test
        // tells them from the zero, the '&' and the start of a longer sequence.
        if (lead - 0x27 >= 0x80 - 0x27) {
            if (lead < 0x27 && (lead == 0 || lead == stop))
                break;
            if (o == limit) {
                fits = false;
                break;
            }
            if (lead >= 0x80) {
                *o = fromSequence(map, p);
                continue;
            }
        } else if (o == limit) {
            fits = false;
            break;
        }
        *o = static_cast<char16_t>(lead);
        p += 1;
    }
    utf8 = reinterpret_cast<const char *>(p);
    out = o;
    return fits;
}
