#include "StringGridModel.h"

#include <algorithm>

StringGridModel::StringGridModel(int columnCount, QObject *parent)
    : QAbstractTableModel(parent), m_columns(columnCount), m_header(columnCount),
      m_cells(qsizetype(columnCount))
{
}

bool StringGridModel::contains(int row, int column) const
{
    return row >= 0 && row <= m_dataRows && column >= 0 && column < m_columns;
}

QString StringGridModel::cell(int row, int column) const
{
    if (!contains(row, column))
        return QString();
    if (row == 0)
        return m_header.at(column);
    return m_cells.at(qsizetype(row - 1) * m_columns + column);
}

void StringGridModel::setCell(int row, int column, const QString &text)
{
    if (!contains(row, column))
        return;
    if (row == 0) {
        m_header[column] = text;
        emit headerDataChanged(Qt::Horizontal, column, column);
        return;
    }
    m_cells[qsizetype(row - 1) * m_columns + column] = text;
    const QModelIndex changed = index(row - 1, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void StringGridModel::replaceDataRows(int rows, QList<QString> cells)
{
    Q_ASSERT(cells.size() == qsizetype(rows) * m_columns);
    beginResetModel();
    if (rows < 1) {
        m_dataRows = 1;
        m_cells = QList<QString>(qsizetype(m_columns));
    } else {
        m_dataRows = rows;
        m_cells = std::move(cells);
    }
    endResetModel();
}

int StringGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_dataRows;
}

int StringGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

void StringGridModel::setTextColours(int column, const QHash<QString, QColor> &colours)
{
    m_textColours.insert(column, colours);
}

QVariant StringGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return cell(index.row() + 1, index.column());
    if (role == Qt::ForegroundRole) {
        const auto colours = m_textColours.constFind(index.column());
        if (colours == m_textColours.cend())
            return QVariant();
        const QColor colour = colours->value(cell(index.row() + 1, index.column()).trimmed());
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    return QVariant();
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= m_columns)
        return QVariant();
    return m_header.at(section);
}
