#pragma once

#include <QString>

// What the poll needs of the alert list page while it is open: the three row fills from an
// answer the poll fetched, and the cells they wrote. The page implements it; the poll finds
// it as the main window's current page.
class AlertListFills
{
public:
    enum class Grid { TodayAlerts, LatestAlerts, TodayNews }; // StringGrid1, StringGrid2, StringGrid3

    virtual ~AlertListFills() = default;

    // The row fill of the grid from a hqsametable answer; returns the number of rows the
    // answer had. Throws std::runtime_error when the answer cannot be read.
    virtual int fillFromAnswer(Grid grid, const QString &answer) = 0;
    // The text of a cell as the fill wrote it (row 0 is the header row).
    virtual QString cellText(Grid grid, int row, int column) const = 0;
};
