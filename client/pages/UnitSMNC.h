#pragma once

#include "AlertListFills.h"
#include "ResultDocument.h"
#include "Unit3.h"

#include <QStringList>

#include <set>

class AlertListMemory;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class StringGrid;

// The alert list page: today's stock-pool alerts, the alert history with its date-range
// query, today's live news and a pane that spells out one chosen row. While it exists the
// poll refreshes its grids instead of announcing stock-pool and live-news changes.
class TFormSMNC : public Tmain, public AlertListFills
{
    Q_OBJECT

public:
    explicit TFormSMNC(QWidget *hostPanel);
    ~TFormSMNC() override;

    int fillFromAnswer(Grid grid, const QString &answer) override;
    QString cellText(Grid grid, int row, int column) const override;

    // The three fills: one blocking query each, then the row fill. Throw on any failure.
    void todayAlertsFill();
    void latestAlertsFill();
    void todayNewsFill();

    QGroupBox *GroupBox1; // 今日预警股票
    StringGrid *StringGrid1;
    QGroupBox *GroupBox2; // 详细内容
    QPlainTextEdit *Memo1;
    QGroupBox *GroupBox3; // 历史预警记录
    QLabel *Label1;
    QDateEdit *DateTimePicker1; // from
    QLabel *Label2;
    QDateEdit *DateTimePicker2; // to
    QPushButton *Button2;       // 查询
    StringGrid *StringGrid2;
    QGroupBox *GroupBox4; // 实盘资讯
    StringGrid *StringGrid3;

    // Beyond the design: a line above the lists, shown while they could not be refreshed from
    // the service, saying so and from when the rows are; with a button that tries again.
    QFrame *OutageNote;
    QLabel *OutageNoteLabel;
    QPushButton *OutageRetryButton;

public slots:
    void iniformdate();
    void Button2Click();
    void StringGrid1DblClick();
    void StringGrid2DblClick();
    void StringGrid3DblClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildUpperBand(QWidget *band);
    void buildLowerBand(QWidget *band);
    QWidget *buildQueryStrip(QWidget *parent);
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void setHeaders(StringGrid *grid, const QStringList &titles);

    QFrame *buildOutageNote();
    StringGrid *gridOf(Grid grid) const;
    // A fill's query: its rows go into the grid and are remembered for a page opened later.
    int runFill(Grid grid, const QString &sql);
    int rowFill(Grid grid);
    // Grids the last opening could not refresh show what they showed last, and the note says so.
    void showRememberedRows(const QString &failure);
    void markRefreshed(Grid grid);
    void retry();
    void showDetail(StringGrid *grid, const QString &title, const QStringList &labels);

    ResultDocument m_document;
    bool m_shown = false;
    AlertListMemory *m_memory;
    std::set<Grid> m_staleGrids;           // not refreshed from the service since the page opened
    std::set<StringGrid *> m_resizedGrids; // a column of which the user resized
};
