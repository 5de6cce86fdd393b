#include "TextSliceStore.h"

#include "GbkCodePage.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype LargestBlockUnits = 32 * 1024;
// Texts larger than this get a string of their own rather than most of a block.
constexpr qsizetype LargestSliceUnits = LargestBlockUnits / 8;

} // namespace

void TextSliceStore::reset(qsizetype sizeHint)
{
    block = QString();
    used = 0;
    nextBlockUnits = std::clamp<qsizetype>(sizeHint, 64, LargestBlockUnits);
}

QString TextSliceStore::take(const char *utf8)
{
    if (*utf8 == '\0')
        return QString();
    for (;;) {
        if (!block.isNull() && used < block.size()) {
            // data_ptr() reaches the block without detaching it, although slices share it.
            // One unit stays free behind the text for the terminating zero that every
            // QString keeps there.
            QString::DataPointer &shared = block.data_ptr();
            char16_t *const begin = shared.data() + used;
            char16_t *const end =
                GbkCodePage::roundTripFromUtf8(utf8, begin, shared.data() + block.size() - 1);
            if (end) {
                *end = u'\0';
                used += (end - begin) + 1;
                shared.d_ptr()->ref();
                return QString(QString::DataPointer(shared.d_ptr(), begin, end - begin));
            }
        }
        // UTF-16 needs at most one unit per UTF-8 byte.
        const qsizetype bytes = static_cast<qsizetype>(std::strlen(utf8));
        if (bytes + 1 > LargestSliceUnits) {
            QString own(bytes, Qt::Uninitialized);
            char16_t *const begin = reinterpret_cast<char16_t *>(own.data());
            own.truncate(GbkCodePage::roundTripFromUtf8(utf8, begin, begin + bytes) - begin);
            return own;
        }
        block = QString(std::max(nextBlockUnits, bytes + 1), Qt::Uninitialized);
        used = 0;
        nextBlockUnits = LargestBlockUnits;
    }
}
