#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Makes the field texts of a result document without one heap allocation per text: the
// texts are written one after another into large shared blocks, and each QString handed
// out references its own part of a block. Reference counting keeps a block alive as long
// as any text in it is, so a text stays valid after the document is gone; a text that is
// changed later detaches or writes only where no other text lives. The price: a text kept
// for long keeps its whole block (at most 64 KiB) alive.
class TextSliceStore
{
public:
    // Where add put a text.
    struct Slice
    {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0; // UTF-16 units; an empty text needs no block
    };

    // Forgets the current blocks (texts handed out keep theirs alive); the first new block
    // holds about sizeHint units, so a small document does not pin a large block.
    void reset(qsizetype sizeHint);
    // Stores the bytes of UTF-8 at utf8, after the client's GBK trip (see GbkCodePage).
    Slice add(const char *utf8, qsizetype bytes);
    // The same for zero-terminated UTF-8 from which sixteen bytes can be read at every
    // position up to its terminating zero (a padded buffer): it is stored without first
    // being measured.
    Slice addPadded(const char *utf8);
    // The stored text, sharing its block.
    QString text(Slice slice)
    {
        if (slice.length == 0)
            return QString();
        // data_ptr() reaches the block without detaching it, although texts share it.
        QString::DataPointer &block = blocks[slice.block].data_ptr();
        block.d_ptr()->ref();
        return QString(QString::DataPointer(block.d_ptr(), block.data() + slice.offset, slice.length));
    }

private:
    Slice addToNewBlock(const char *utf8, qsizetype bytes);

    std::vector<QString> blocks;
    // The free part of the block that new texts go to, and that block.
    char16_t *next = nullptr;
    const char16_t *limit = nullptr;
    const char16_t *sharedBegin = nullptr;
    std::uint32_t shared = 0;
    qsizetype nextBlockUnits = 0;
    const char16_t *map = nullptr; // GbkCodePage::roundTripTable()
};
