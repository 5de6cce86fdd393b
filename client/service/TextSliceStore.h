#pragma once

#include <QString>

// Makes the field texts of a result document without one heap allocation per text: the
// texts are written one after another into a large shared block, and each QString handed
// out references its own part of that block. Reference counting keeps a block alive as
// long as any text in it is, so a text stays valid after the document is gone; a text
// that is changed later detaches or writes only where no other text lives. The price: a
// text kept for long keeps its whole block (at most 64 KiB) alive.
class TextSliceStore
{
public:
    // Forgets the current block (texts handed out keep it alive); the next block holds
    // about sizeHint units, so a small document does not pin a large block.
    void reset(qsizetype sizeHint);
    // The UTF-8 text as a QString, after the client's GBK trip (see GbkCodePage).
    QString take(const char *utf8);

private:
    QString block;
    qsizetype used = 0;
    qsizetype nextBlockUnits = 0;
};
