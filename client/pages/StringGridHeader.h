#pragma once

#include <QHeaderView>

// The fixed header row of a string grid: the style draws the section, the title goes on top
// of it in bold, centred horizontally at the top of the section less 2 pixels on every side,
// on one line and clipped to the section.
class StringGridHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit StringGridHeader(QWidget *parent = nullptr);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
};
