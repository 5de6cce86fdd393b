#include "StringGrid.h"

#include "OutsideText.h"
#include "StringGridHeader.h"
#include "StringGridModel.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int RowHeight = 16;

} // namespace

StringGrid::StringGrid(int columnCount, QWidget *parent)
    : QTableView(parent), m_model(new StringGridModel(columnCount, this))
{
    setFont(gridFont());
    setHorizontalHeader(new StringGridHeader(this));
    setModel(m_model);

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    // Columns the user widened may reach past the grid.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    // Fixed heights keep the view from measuring ten thousand rows after a fill.
    QHeaderView *rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(RowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView *columns = horizontalHeader();
    columns->setMinimumSectionSize(0);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionResizeMode(0, QHeaderView::Fixed);
    columns->setStretchLastSection(false);
    setHeaderRowHeight(RowHeight);
}

QFont StringGrid::gridFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(9);
    return font;
}

int StringGrid::rowCount() const
{
    return m_model->gridRowCount();
}

int StringGrid::colCount() const
{
    return m_model->columnCount();
}

QString StringGrid::cell(int row, int column) const
{
    return m_model->cell(row, column);
}

void StringGrid::setCell(int row, int column, const QString &text)
{
    m_model->setCell(row, column, text);
}

void StringGrid::replaceDataRows(int rows, QList<QString> cells)
{
    m_model->replaceDataRows(rows, std::move(cells));
}

int StringGrid::colWidth(int column) const
{
    return horizontalHeader()->sectionSize(column);
}

void StringGrid::setColWidth(int column, int width)
{
    horizontalHeader()->resizeSection(column, width);
}

QList<int> StringGrid::colWidths() const
{
    QList<int> widths;
    for (int column = 0; column < colCount(); ++column)
        widths.append(colWidth(column));
    return widths;
}

void StringGrid::setColWidths(const QList<int> &widths)
{
    for (int column = 1; column < std::min<int>(colCount(), widths.size()); ++column)
        setColWidth(column, widths.at(column));
}

void StringGrid::setTextColours(int column, const QHash<QString, QColor> &colours)
{
    m_model->setTextColours(column, colours);
}

// The whole text of a cell its column cuts, as the cell's tooltip; none for a text shown whole.
bool StringGrid::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.isValid() ? m_model->cell(index.row() + 1, index.column()) : QString();
    const int room = visualRect(index).width() -
                     2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    if (text.isEmpty() || fontMetrics().horizontalAdvance(text) <= room) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), OutsideText::forToolTip(text), viewport(), visualRect(index));
    return true;
}

int StringGrid::headerRowHeight() const
{
    return horizontalHeader()->height();
}

void StringGrid::setHeaderRowHeight(int height)
{
    horizontalHeader()->setFixedHeight(height);
}

int StringGrid::selectedRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}
