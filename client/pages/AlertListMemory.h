#pragma once

#include "AlertListFills.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <map>
#include <optional>

class QWidget;

// What the alert list's three grids showed last, kept by the panel that hosts the page (the
// main window's content area) and so outliving the page: a page opened again while the service
// cannot be reached shows the rows it had, not empty grids.
class AlertListMemory : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        QString text; // the hqsametable answer
        QDateTime fetchedAt;
    };

    // The memory of this host panel, made on first use as its child.
    static AlertListMemory &of(QWidget *hostPanel);

    void remember(AlertListFills::Grid grid, const QString &answer);
    std::optional<Answer> last(AlertListFills::Grid grid) const;

private:
    explicit AlertListMemory(QObject *parent);

    std::map<AlertListFills::Grid, Answer> m_answers;
};
