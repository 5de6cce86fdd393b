#pragma once

#include <QList>
#include <QString>
#include <QTableView>

class StringGridModel;

// A read-only grid of text cells with one fixed header row and no fixed column: rows 16
// pixels high, whole-row selection, grid lines, a vertical scroll bar only, the header drawn
// bold and centred. Row 0 is the header row; data rows count from 1.
class StringGrid : public QTableView
{
    Q_OBJECT

public:
    StringGrid(int columnCount, QWidget *parent = nullptr);

    int rowCount() const;
    int colCount() const;

    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    // Every data row at once (see StringGridModel::replaceDataRows).
    void replaceDataRows(int rows, QList<QString> cells);

    int colWidth(int column) const;
    void setColWidth(int column, int width);
    int headerRowHeight() const;
    void setHeaderRowHeight(int height);

    // The grid row of the current cell: a data row, 1 when nothing was chosen yet.
    int selectedRow() const;

    // "宋体" at 9 points, or the closest Chinese face the system has.
    static QFont gridFont();

private:
    StringGridModel *m_model;
};
