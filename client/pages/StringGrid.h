#pragma once

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QTableView>

class StringGridModel;

// A read-only grid of text cells with one fixed header row and no fixed column: rows 16
// pixels high, whole-row selection, grid lines, the header drawn bold and centred. Row 0 is the
// header row; data rows count from 1. The user may widen or narrow the columns (all but column
// 0, which only keeps the others at their indices); a text cut by its column ends in "…" and
// shows whole as the cell's tooltip.
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
    // The widths of all columns, and setting them back (from a remembered list).
    QList<int> colWidths() const;
    void setColWidths(const QList<int> &widths);

    // Cells of the column whose text (trimmed) is a key are drawn in that key's colour.
    void setTextColours(int column, const QHash<QString, QColor> &colours);
    int headerRowHeight() const;
    void setHeaderRowHeight(int height);

    // The grid row of the current cell: a data row, 1 when nothing was chosen yet.
    int selectedRow() const;

    // "宋体" at 9 points, or the closest Chinese face the system has.
    static QFont gridFont();

protected:
    bool viewportEvent(QEvent *event) override;

private:
    StringGridModel *m_model;
};
