#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>

// The cells of a string grid: row 0 is the fixed header row (the view's horizontal header),
// rows 1.. are the data rows. The cells sit in one flat list so that a fill of many thousand
// rows is one allocation and one model reset.
class StringGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    StringGridModel(int columnCount, QObject *parent = nullptr);

    // Grid rows, the header row included; never less than 2 (the header and one data row).
    int gridRowCount() const { return m_dataRows + 1; }

    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);

    // Replaces every data row at once: `rows` rows of columnCount() cells each, row by row.
    // Zero rows leave one empty data row.
    void replaceDataRows(int rows, QList<QString> cells);

    // Cells of the column whose text (trimmed) is a key are drawn in that key's colour.
    void setTextColours(int column, const QHash<QString, QColor> &colours);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool contains(int row, int column) const;

    const int m_columns;
    int m_dataRows = 1;
    QList<QString> m_header;
    QList<QString> m_cells; // m_dataRows * m_columns, row by row
    QHash<int, QHash<QString, QColor>> m_textColours;
};
