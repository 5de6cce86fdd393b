#include "TextSliceStore.h"

#include "GbkCodePage.h"

#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TEXT_SLICE_STORE_SSE2 1
#endif

namespace {

constexpr qsizetype LargestBlockUnits = 32 * 1024;
// Texts larger than this get a block of their own rather than most of a shared one.
constexpr qsizetype LargestSliceUnits = LargestBlockUnits / 8;

// Decodes the length bytes of UTF-8 at utf8 into UTF-16 at out after the GBK trip (map,
// see GbkCodePage), as GbkCodePage::roundTripFromUtf8 does for zero-terminated text.
// UTF-8 never takes fewer bytes than UTF-16 takes units, so out has room for length units.
// Returns the end of what was written.
Q_ALWAYS_INLINE char16_t *decode(const char16_t *map, const char *utf8, qsizetype length, char16_t *out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    const auto *const end = p + length;
    const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
#ifdef TEXT_SLICE_STORE_SSE2
            // Most field texts are ASCII (numbers, codes, times): widen sixteen bytes at a
            // time. Every byte yields at most one unit, so out has room for the sixteen
            // units whenever sixteen bytes are left; units past the first non-ASCII byte
            // are overwritten by what follows.
            if (end - p >= 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(bytes, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(bytes, zero));
                const auto nonAscii = static_cast<unsigned>(_mm_movemask_epi8(bytes));
                const unsigned ascii = nonAscii ? qCountTrailingZeroBits(nonAscii) : 16;
                p += ascii;
                out += ascii;
                continue;
            }
#endif
            *out++ = static_cast<char16_t>(lead);
            ++p;
            continue;
        }
        // Chinese text is three-byte sequences: with a fourth byte left, one load and one
        // comparison check the lead and both continuation bytes.
        if (end - p >= 4) {
            const std::uint32_t word = qFromLittleEndian(qFromUnaligned<std::uint32_t>(p));
            if ((word & 0xC0C0F0) == 0x8080E0) {
                *out++ = map[((word & 0x0F) << 12) | ((word & 0x3F00) >> 2) | ((word >> 16) & 0x3F)];
                p += 3;
                continue;
            }
        }
        if (lead - 0xE0 < 0x10 && end - p >= 3 && continuation(p[1]) && continuation(p[2])) {
            *out++ = map[((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)];
            p += 3;
        } else if (lead - 0xC2 < 0x1E && end - p >= 2 && continuation(p[1])) {
            *out++ = map[((lead & 0x1F) << 6) | (p[1] & 0x3F)];
            p += 2;
        } else {
            // Four-byte sequences (outside the BMP) and stray bytes: the whole character
            // reads as one "?", as in GbkCodePage.
            ++p;
            while (p < end && continuation(*p))
                ++p;
            *out++ = u'?';
        }
    }
    return out;
}

#ifdef TEXT_SLICE_STORE_SSE2
// decode for zero-terminated text from which sixteen bytes can be read at every position up
// to the terminating zero: the end is found while decoding. Returns the end of what was
// written, or nullptr when the text may not fit before limit (with one unit to spare).
Q_ALWAYS_INLINE char16_t *decodePadded(const char16_t *map, const char *utf8, char16_t *out,
                                       const char16_t *limit)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    const __m128i zero = _mm_setzero_si128();
    for (;;) {
        if (limit - out <= 16)
            return nullptr;
        // Sixteen bytes at a time up to the first that is not ASCII or the zero; units
        // past that one are overwritten by what follows.
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(bytes, zero));
        const auto stop = static_cast<unsigned>(_mm_movemask_epi8(bytes)) |
                          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
        if (!stop) {
            p += 16;
            out += 16;
            continue;
        }
        const unsigned ascii = qCountTrailingZeroBits(stop);
        p += ascii;
        out += ascii;
        // Then the characters up to the next ASCII one; the four bytes from a lead byte can
        // always be read.
        while (*p >= 0x80) {
            if (limit - out <= 1)
                return nullptr;
            const std::uint32_t word = qFromLittleEndian(qFromUnaligned<std::uint32_t>(p));
            if ((word & 0xC0C0F0) == 0x8080E0) {
                *out++ = map[((word & 0x0F) << 12) | ((word & 0x3F00) >> 2) | ((word >> 16) & 0x3F)];
                p += 3;
            } else if ((word & 0xFF) - 0xC2 < 0x1E && (word & 0xC000) == 0x8000) {
                *out++ = map[((word & 0x1F) << 6) | ((word >> 8) & 0x3F)];
                p += 2;
            } else {
                // As in decode: the whole sequence reads as one "?"; the zero ends it.
                ++p;
                while ((*p & 0xC0) == 0x80)
                    ++p;
                *out++ = u'?';
            }
        }
        if (*p == 0)
            return out;
    }
}
#endif

} // namespace

void TextSliceStore::reset(qsizetype sizeHint)
{
    blocks.clear();
    next = nullptr;
    limit = nullptr;
    sharedBegin = nullptr;
    shared = 0;
    map = GbkCodePage::roundTripTable();
    nextBlockUnits = std::clamp<qsizetype>(sizeHint, 64, LargestBlockUnits);
}

TextSliceStore::Slice TextSliceStore::add(const char *utf8, qsizetype bytes)
{
    if (bytes == 0)
        return {};
    // UTF-16 needs at most one unit per UTF-8 byte, and one unit stays free behind the
    // text for the terminating zero that every QString keeps there.
    if (bytes >= limit - next)
        return addToNewBlock(utf8, bytes);
    char16_t *const begin = next;
    char16_t *const end = decode(map, utf8, bytes, begin);
    *end = u'\0';
    next = end + 1;
    return {shared, static_cast<std::uint32_t>(begin - sharedBegin), static_cast<std::uint32_t>(end - begin)};
}

TextSliceStore::Slice TextSliceStore::addPadded(const char *utf8)
{
#ifdef TEXT_SLICE_STORE_SSE2
    char16_t *const begin = next;
    if (char16_t *const end = decodePadded(map, utf8, begin, limit)) {
        if (end == begin)
            return {};
        *end = u'\0';
        next = end + 1;
        return {shared, static_cast<std::uint32_t>(begin - sharedBegin),
                static_cast<std::uint32_t>(end - begin)};
    }
#endif
    return add(utf8, static_cast<qsizetype>(std::strlen(utf8)));
}

TextSliceStore::Slice TextSliceStore::addToNewBlock(const char *utf8, qsizetype bytes)
{
    const qsizetype needed = bytes + 1;
    const auto block = static_cast<std::uint32_t>(blocks.size());
    if (needed > LargestSliceUnits) {
        // A block of its own; the shared block stays in use for the texts that follow.
        blocks.emplace_back(needed, Qt::Uninitialized);
        char16_t *const begin = blocks.back().data_ptr().data();
        char16_t *const end = decode(map, utf8, bytes, begin);
        *end = u'\0';
        return {block, 0, static_cast<std::uint32_t>(end - begin)};
    }
    const qsizetype units = std::max(nextBlockUnits, needed);
    blocks.emplace_back(units, Qt::Uninitialized);
    nextBlockUnits = LargestBlockUnits;
    shared = block;
    next = blocks.back().data_ptr().data();
    sharedBegin = next;
    limit = next + units;
    return add(utf8, bytes);
}
