#include "StringGrid.h"

#include "StringGridHeader.h"
#include "StringGridModel.h"

#include <QHeaderView>

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
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    // Fixed heights keep the view from measuring ten thousand rows after a fill.
    QHeaderView *rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(RowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView *columns = horizontalHeader();
    columns->setMinimumSectionSize(0);
    columns->setSectionResizeMode(QHeaderView::Fixed);
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
