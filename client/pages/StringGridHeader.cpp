#include "StringGridHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

StringGridHeader::StringGridHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(false);
    setHighlightSections(false);
}

void StringGridHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOption(&option);
    initStyleOptionForIndex(&option, logicalIndex);
    option.rect = rect;
    const QString title = option.text;
    option.text.clear();
    // The style puts back the clip it found, which leaves an unclipped painter clipped to
    // nothing: the title must not be drawn with that painter state.
    painter->save();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();

    painter->save();
    QFont bold = font();
    bold.setBold(true);
    painter->setFont(bold);
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(rect.adjusted(2, 2, -2, -2), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                      title);
    painter->restore();
}
