#include "ChangeCounters.h"
#include "ClientServiceFixture.h"
#include "ClientStatements.h"
#include "ClosedHost.h"
#include "OutsideText.h"
#include "ReminderSettings.h"
#include "ServiceClient.h"
#include "ServiceHostOverride.h"
#include "StringGrid.h"
#include "TextContrast.h"
#include "UnitGlouble.h"
#include "UnitSMNC.h"

#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QToolTip>
#include <QtConcurrent>

#include <memory>
#include <stdexcept>

using Grid = AlertListFills::Grid;

namespace {

QString day(int offset)
{
    return QDate::currentDate().addDays(offset).toString(Qt::ISODate);
}

// Column `column` of every data row of a grid, top to bottom.
QStringList columnOf(const AlertListFills &page, Grid grid, int column, int rows)
{
    QStringList texts;
    for (int row = 1; row <= rows; ++row)
        texts << page.cellText(grid, row, column);
    return texts;
}

} // namespace

class tst_TFormSMNC : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutAndHeaders();
    void openFlagFollowsThePage();
    void headerTitlesDrawn();
    void fills_data();
    void fills();
    void rowFillOfTheTime();
    void todayEmpty();
    void emptyAnswerBlanksTheDataRow();
    void history_data();
    void history();
    void historyWithServiceDown();
    void detailPane_data();
    void detailPane();
    void detailPaneWithAMebibyteReason();
    void countersRecordedAtOpen();
    void serviceDownAtOpen();
    void reopenedDuringAnOutageKeepsItsRows();
    void fillFromAnswerAsThePollDoes();
    void unreadableAnswerLeavesTheGrid();
    void columnsResizedAndRemembered();
    void cutTextShowsWholeAsTooltip();
    void buyRedSellGreen();

private:
    TFormSMNC *openPage();
    void doubleClickRow(StringGrid *grid, int row);
    void publishStock(const QString &code, const QString &time, int level = 3,
                      const QString &operation = QStringLiteral("买入"),
                      const QString &reason = QStringLiteral("理由"));

    std::unique_ptr<ClientServiceFixture> m_client;
    ServiceFixture *m_service = nullptr;
    MessageBoxRecorder *m_boxes = nullptr;
    std::unique_ptr<QWidget> m_host;
};

void tst_TFormSMNC::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // remembered column widths go to a test location
}

void tst_TFormSMNC::init()
{
    QFile::remove(ReminderSettings::filePath());
    UnitGlouble = GlobalState{};
    UnitGlouble.UserTiering = true;
    UnitGlouble.UserLevel = QStringLiteral("2");
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    m_service = &m_client->service();
    // Paid levels are shown only to an address that holds a signed-in account of that level.
    QVERIFY(m_service->holdOnlineRecords());
    m_boxes = &m_client->boxes();
    m_host = std::make_unique<QWidget>();
    m_host->resize(801, 547);
}

void tst_TFormSMNC::cleanup()
{
    m_host.reset();
    m_client.reset();
}

// As the main window opens it: created inside the host panel, then shown.
TFormSMNC *tst_TFormSMNC::openPage()
{
    auto *page = new TFormSMNC(m_host.get());
    m_host->show();
    page->show(); // a page made while the host is on screen is shown as the main window does
    return page;
}

void tst_TFormSMNC::doubleClickRow(StringGrid *grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
    // The view takes a double click as one only on the row the first press chose.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void tst_TFormSMNC::publishStock(const QString &code, const QString &time, int level,
                                 const QString &operation, const QString &reason)
{
    QString output;
    const int code_ = m_service->runCommand({QStringLiteral("publish"), QStringLiteral("stock"),
                                             QStringLiteral("--code"), code, QStringLiteral("--name"),
                                             QStringLiteral("测试") + code, QStringLiteral("--op"), operation,
                                             QStringLiteral("--reason"), reason, QStringLiteral("--time"),
                                             time, QStringLiteral("--level"), QString::number(level)},
                                            &output);
    QVERIFY2(code_ == 0, qPrintable(output));
}

void tst_TFormSMNC::layoutAndHeaders()
{
    TFormSMNC *page = openPage();
    QCOMPARE(page->geometry(), QRect(0, 0, 801, 547));
    QCOMPARE(page->GroupBox1->title(), QStringLiteral("今日预警股票"));
    QCOMPARE(page->GroupBox2->title(), QStringLiteral("详细内容"));
    QCOMPARE(page->GroupBox3->title(), QStringLiteral("历史预警记录"));
    QCOMPARE(page->GroupBox4->title(), QStringLiteral("实盘资讯"));
    QCOMPARE(page->GroupBox1->width(), 449);
    QCOMPARE(page->GroupBox1->height(), 218);
    QCOMPARE(page->GroupBox2->height(), 218);
    QCOMPARE(page->GroupBox3->width(), 448);
    QCOMPARE(page->GroupBox3->mapTo(page, QPoint()).y(), 218);
    QCOMPARE(page->GroupBox4->mapTo(page, page->GroupBox4->rect().bottomRight()), QPoint(800, 546));
    QCOMPARE(page->Label1->text(), QStringLiteral("时间起："));
    QCOMPARE(page->Label2->text(), QStringLiteral("时间止："));
    QCOMPARE(page->Button2->text(), QStringLiteral("查询"));
    QVERIFY(page->DateTimePicker1->x() > page->Label1->x());
    QVERIFY(page->Label2->x() > page->DateTimePicker1->x());
    QVERIFY(page->Button2->x() > page->DateTimePicker2->x());
    QVERIFY(page->StringGrid2->y() > page->Button2->y());
    QCOMPARE(page->DateTimePicker1->date(), QDate::currentDate().addDays(-1));
    QCOMPARE(page->DateTimePicker2->date(), QDate::currentDate());

    struct Expected
    {
        StringGrid *grid;
        Grid which;
        QStringList headers;
        QList<int> widths;
    };
    const QStringList alert = {u"ID"_qs,       u"弹出时间"_qs, u"股票代码"_qs,
                               u"股票名称"_qs, u"操作方式"_qs, u"操作理由"_qs};
    const QList<Expected> grids = {
        {page->StringGrid1, Grid::TodayAlerts, alert, {0, 135, 67, 57, 64, 97}},
        {page->StringGrid2, Grid::LatestAlerts, alert, {0, 135, 66, 60, 65, 94}},
        {page->StringGrid3,
         Grid::TodayNews,
         {u"ID"_qs, u"弹出时间"_qs, u"资讯类型"_qs, u"资讯内容"_qs},
         {0, 142, 62, 126}},
    };
    for (const Expected &e : grids) {
        QCOMPARE(e.grid->colCount(), e.headers.size());
        QCOMPARE(e.grid->headerRowHeight(), 18);
        QCOMPARE(e.grid->rowHeight(0), 16);
        // Columns the user widens may reach past the grid: then it scrolls sideways too.
        QCOMPARE(e.grid->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QCOMPARE(e.grid->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(e.grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(e.grid->showGrid());
        QCOMPARE(e.grid->font().pointSize(), 9);
        QCOMPARE(e.grid->font().families().constFirst(), QStringLiteral("宋体"));
        for (int column = 0; column < e.headers.size(); ++column) {
            QCOMPARE(page->cellText(e.which, 0, column), e.headers.at(column));
            QCOMPARE(e.grid->colWidth(column), e.widths.at(column));
        }
    }
}

void tst_TFormSMNC::openFlagFollowsThePage()
{
    QVERIFY(!UnitGlouble.AlertListOpen);
    // Set before the page sits in the host panel, i.e. before it is shown.
    auto *page = new TFormSMNC(m_host.get());
    QVERIFY(UnitGlouble.AlertListOpen);
    QCOMPARE(page->parentWidget(), m_host.get());
    delete page;
    QVERIFY(!UnitGlouble.AlertListOpen);
}

// The titles are drawn by the grid itself on top of the style's section.
void tst_TFormSMNC::headerTitlesDrawn()
{
    TFormSMNC *page = openPage();
    QHeaderView *header = page->StringGrid1->horizontalHeader();
    const QRect section(header->sectionViewportPosition(2) + 2, 2, header->sectionSize(2) - 4,
                        header->height() - 4);
    const auto darkPixels = [&] {
        const QImage image = header->grab().toImage();
        int dark = 0;
        for (int y = section.top(); y <= section.bottom(); ++y)
            for (int x = section.left(); x <= section.right(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    QVERIFY(darkPixels() > 10);
    page->StringGrid1->setCell(0, 2, QString());
    QCOMPARE(darkPixels(), 0);
}

void tst_TFormSMNC::fills_data()
{
    QTest::addColumn<bool>("tiering");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QStringList>("todayCodes");
    QTest::addColumn<QStringList>("latestCodes");
    QTest::addColumn<QStringList>("newsTypes");

    const QStringList allToday = {u"002594"_qs, u"600036"_qs, u"300750"_qs};
    const QStringList all = allToday + QStringList{u"000001"_qs, u"600519"_qs, u"000858"_qs, u"601318"_qs};
    QTest::newRow("tiering, VIP") << true << u"2"_qs << QStringList{u"600036"_qs, u"300750"_qs}
                                  << QStringList{u"600036"_qs, u"300750"_qs, u"000001"_qs, u"000858"_qs,
                                                 u"601318"_qs}
                                  << QStringList{u"板块"_qs, u"政策"_qs};
    QTest::newRow("tiering, member") << true << u"1"_qs << QStringList{u"002594"_qs, u"300750"_qs}
                                     << QStringList{u"002594"_qs, u"300750"_qs, u"000001"_qs, u"600519"_qs,
                                                    u"601318"_qs}
                                     << QStringList{u"政策"_qs};
    // Without tiering the level plays no part, whatever it holds.
    QTest::newRow("no tiering") << false << u"not a number"_qs << allToday << all
                                << QStringList{u"板块"_qs, u"政策"_qs};
}

// The service accepts exactly the texts of the three fills and refuses any other with a
// fault: a filled grid proves the text.
void tst_TFormSMNC::fills()
{
    QFETCH(bool, tiering);
    QFETCH(QString, level);
    QFETCH(QStringList, todayCodes);
    QFETCH(QStringList, latestCodes);
    QFETCH(QStringList, newsTypes);
    UnitGlouble.UserTiering = tiering;
    UnitGlouble.UserLevel = level;
    QVERIFY(m_service->execSql(tiering ? u"UPDATE Sys_pz SET yhqyhyfj=TRUE"_qs
                                       : u"UPDATE Sys_pz SET yhqyhyfj=FALSE"_qs));

    TFormSMNC *page = openPage();
    QCOMPARE(page->StringGrid1->rowCount(), todayCodes.size() + 1);
    QCOMPARE(columnOf(*page, Grid::TodayAlerts, 2, todayCodes.size()), todayCodes);
    QCOMPARE(page->StringGrid2->rowCount(), latestCodes.size() + 1);
    QCOMPARE(columnOf(*page, Grid::LatestAlerts, 2, latestCodes.size()), latestCodes);
    QCOMPARE(page->StringGrid3->rowCount(), newsTypes.size() + 1);
    QCOMPARE(columnOf(*page, Grid::TodayNews, 2, newsTypes.size()), newsTypes);

    // Column 0 is never written; the other columns carry their fields.
    QCOMPARE(columnOf(*page, Grid::TodayAlerts, 0, todayCodes.size()),
             QStringList(todayCodes.size(), QString()));
    const int last = latestCodes.size();
    QCOMPARE(page->cellText(Grid::LatestAlerts, last, 3), QStringLiteral("中国平安"));
    QCOMPARE(page->cellText(Grid::LatestAlerts, last, 4), QStringLiteral("买入"));
    QVERIFY(!page->cellText(Grid::LatestAlerts, last, 5).isEmpty());
    QCOMPARE(page->cellText(Grid::LatestAlerts, last, 1).left(12), QStringLiteral("  ") + day(-3));
    QCOMPARE(page->cellText(Grid::TodayAlerts, 1, 1).size(), 21);
    QVERIFY(page->cellText(Grid::TodayAlerts, 1, 1).startsWith(QStringLiteral("  ") + day(0) + u' '));
    QVERIFY(page->cellText(Grid::TodayNews, 1, 1).startsWith(QStringLiteral("  ") + day(0) + u' '));
    QVERIFY(!page->cellText(Grid::TodayNews, 1, 3).isEmpty());
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFormSMNC::rowFillOfTheTime()
{
    TFormSMNC page(m_host.get());
    const QString answer = QStringLiteral(
        "<NewDataSet><Table><nowtime> 2011-06-10T09:31:05.1234567+08:00 "
        "</nowtime><gupiaodaima>600000</gupiaodaima>"
        "<czfs>买入</czfs></Table><Table><nowtime>2011-06-10T09:31</nowtime><jg>浦发银行</jg></Table>"
        "<Table><nowtime>\t2011-06-10</nowtime></Table></NewDataSet>");
    QCOMPARE(page.fillFromAnswer(Grid::LatestAlerts, answer), 3);
    QCOMPARE(page.StringGrid2->rowCount(), 4);
    QCOMPARE(page.cellText(Grid::LatestAlerts, 1, 1), QStringLiteral("  2011-06-10 09:31:05"));
    QCOMPARE(page.cellText(Grid::LatestAlerts, 2, 1), QStringLiteral("  2011-06-10 09:31"));
    QCOMPARE(page.cellText(Grid::LatestAlerts, 3, 1), QStringLiteral("  2011-06-10"));
    // A field missing from a row is written empty and the fill goes on.
    QCOMPARE(page.cellText(Grid::LatestAlerts, 1, 2), QStringLiteral("600000"));
    QCOMPARE(page.cellText(Grid::LatestAlerts, 1, 3), QString());
    QCOMPARE(page.cellText(Grid::LatestAlerts, 2, 3), QStringLiteral("浦发银行"));
    QCOMPARE(page.cellText(Grid::LatestAlerts, 2, 4), QString());
    QCOMPARE(page.cellText(Grid::LatestAlerts, 1, 4), QStringLiteral("买入"));
}

void tst_TFormSMNC::todayEmpty()
{
    QVERIFY(m_service->execSql(QStringLiteral("delete from Tuijiangupiao where id >= 5")));
    QVERIFY(m_service->execSql(QStringLiteral("delete from spzx where id >= 2")));
    TFormSMNC *page = openPage();
    for (Grid grid : {Grid::TodayAlerts, Grid::TodayNews}) {
        QCOMPARE(page->cellText(grid, 0, 1), QStringLiteral("弹出时间")); // the header stays
        for (int column = 0; column < 4; ++column)
            QCOMPARE(page->cellText(grid, 1, column), QString());
    }
    QCOMPARE(page->StringGrid1->rowCount(), 2);
    QCOMPARE(page->StringGrid3->rowCount(), 2);
    QCOMPARE(page->StringGrid2->rowCount(), 3 + 1); // the older alerts the VIP sees remain

    doubleClickRow(page->StringGrid1, 1);
    QCOMPARE(page->Memo1->toPlainText(), QStringLiteral("今日预警股票\n弹出时间：\n股票代码：\n股票名称：\n"
                                                        "操作方式：\n操作理由："));
}

// Left to us: after an empty answer the row under the header shows nothing, not the first
// row of an earlier answer (which would look like a hit for the range just asked for).
void tst_TFormSMNC::emptyAnswerBlanksTheDataRow()
{
    TFormSMNC *page = openPage();
    QVERIFY(!page->cellText(Grid::LatestAlerts, 1, 2).isEmpty());
    QCOMPARE(page->fillFromAnswer(Grid::LatestAlerts, QStringLiteral("<NewDataSet />")), 0);
    QCOMPARE(page->StringGrid2->rowCount(), 2);
    for (int column = 0; column < 6; ++column)
        QCOMPARE(page->cellText(Grid::LatestAlerts, 1, column), QString());
    QCOMPARE(page->cellText(Grid::LatestAlerts, 0, 2), QStringLiteral("股票代码"));
}

void tst_TFormSMNC::history_data()
{
    QTest::addColumn<bool>("tiering");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("codes");

    QTest::newRow("one day") << false << -1 << -1
                             << QStringList{u"999002"_qs, u"999001"_qs, u"000001"_qs, u"600519"_qs};
    // The range ends with the midnight after the to-date, inclusive: the alert stamped exactly
    // then is in, the one a second later is not.
    QTest::newRow("one day with the following midnight")
        << false << -2 << -2 << QStringList{u"999001"_qs, u"000858"_qs};
    QTest::newRow("tiering, VIP") << true << -3 << -1
                                  << QStringList{u"999001"_qs, u"000001"_qs, u"000858"_qs, u"601318"_qs};
    QTest::newRow("no tiering, all days")
        << false << -3 << 0
        << QStringList{u"999002"_qs, u"999001"_qs, u"002594"_qs, u"600036"_qs, u"300750"_qs,
                       u"000001"_qs, u"600519"_qs, u"000858"_qs, u"601318"_qs};
    QTest::newRow("reversed range") << false << 0 << -1 << QStringList();
    QTest::newRow("reversed range, tiering") << true << 0 << -3 << QStringList();
}

void tst_TFormSMNC::history()
{
    QFETCH(bool, tiering);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, codes);
    publishStock(u"999001"_qs, day(-1) + u" 00:00:00"_qs);
    publishStock(u"999002"_qs, day(-1) + u" 00:00:01"_qs, 1);
    UnitGlouble.UserTiering = tiering;
    QVERIFY(m_service->execSql(tiering ? u"UPDATE Sys_pz SET yhqyhyfj=TRUE"_qs
                                       : u"UPDATE Sys_pz SET yhqyhyfj=FALSE"_qs));

    TFormSMNC *page = openPage();
    page->DateTimePicker1->setDate(QDate::currentDate().addDays(from));
    page->DateTimePicker2->setDate(QDate::currentDate().addDays(to));
    QTest::mouseClick(page->Button2, Qt::LeftButton);

    QCOMPARE(page->StringGrid2->rowCount(), std::max<int>(codes.size(), 1) + 1);
    if (codes.isEmpty()) {
        for (int column = 0; column < 6; ++column)
            QCOMPARE(page->cellText(Grid::LatestAlerts, 1, column), QString());
    } else {
        QCOMPARE(columnOf(*page, Grid::LatestAlerts, 2, codes.size()), codes);
    }
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFormSMNC::historyWithServiceDown()
{
    TFormSMNC *page = openPage();
    const QString first = page->cellText(Grid::LatestAlerts, 1, 2);
    const int rows = page->StringGrid2->rowCount();
    QVERIFY(!first.isEmpty());
    const ServiceHostOverride closedHost(ClosedHost);
    page->DateTimePicker1->setDate(QDate::currentDate().addDays(-3));
    page->Button2Click();
    QCOMPARE(page->StringGrid2->rowCount(), rows);
    QCOMPARE(page->cellText(Grid::LatestAlerts, 1, 2), first);
    QCOMPARE(m_boxes->count(), 0);
}

void tst_TFormSMNC::detailPane_data()
{
    QTest::addColumn<int>("grid");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("lines");

    const QString today = day(0);
    QTest::newRow("today's alerts") << int(Grid::TodayAlerts) << 2
                                    << QStringList{
                                           u"今日预警股票"_qs,     u"弹出时间："_qs + today + u" 00:00:01"_qs,
                                           u"股票代码：300750"_qs, u"股票名称：宁德时代"_qs,
                                           u"操作方式：买入"_qs,   u"操作理由："_qs};
    QTest::newRow("history") << int(Grid::LatestAlerts) << 5
                             << QStringList{u"历史预警股票"_qs,     u"弹出时间："_qs,
                                            u"股票代码：601318"_qs, u"股票名称：中国平安"_qs,
                                            u"操作方式：买入"_qs,   u"操作理由："_qs};
    QTest::newRow("live news") << int(Grid::TodayNews) << 1
                               << QStringList{u"实盘资讯"_qs, u"弹出时间："_qs + today, u"资讯类型：板块"_qs,
                                              u"资讯内容："_qs};
}

// A line is "label" + the cell of the chosen row, trimmed; lines given as a bare label are
// compared up to the label (the demo's reasons and times of other days are not fixed).
void tst_TFormSMNC::detailPane()
{
    QFETCH(int, grid);
    QFETCH(int, row);
    QFETCH(QStringList, lines);
    TFormSMNC *page = openPage();
    StringGrid *grids[] = {page->StringGrid1, page->StringGrid2, page->StringGrid3};
    StringGrid *target = grids[grid];
    page->Memo1->setPlainText(QStringLiteral("earlier text"));

    doubleClickRow(target, row);
    const QStringList shown = page->Memo1->toPlainText().split(u'\n');
    QCOMPARE(shown.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(shown.at(i).startsWith(lines.at(i)), qPrintable(shown.at(i) + u" / "_qs + lines.at(i)));
    // Each value is the cell trimmed: the two blanks in front of the time are gone.
    for (int column = 1; column < target->colCount(); ++column) {
        const QString cell = target->cell(row, column).trimmed();
        QVERIFY(!shown.at(column).contains(u"  "_qs));
        QVERIFY2(shown.at(column).endsWith(u'：' + cell), qPrintable(shown.at(column)));
    }
    // A refill leaves the pane as it is.
    page->todayAlertsFill();
    QCOMPARE(page->Memo1->toPlainText().split(u'\n'), shown);
}

// A reason of a mebibyte without a blank: the pane shows it, cut to its bound, and is laid out
// and painted within a second on an idle machine (word wrapping it took minutes); the bound
// leaves room for a loaded one.
void tst_TFormSMNC::detailPaneWithAMebibyteReason()
{
    publishStock(u"999005"_qs, day(0) + u" 09:31:00"_qs);
    QVERIFY(m_service->execSql(QStringLiteral(
        "update Tuijiangupiao set czly = hex(zeroblob(524288)) where gupiaodaima = '999005'")));
    TFormSMNC *page = openPage();
    int row = -1;
    for (int r = 1; r < page->StringGrid1->rowCount(); ++r) {
        if (page->StringGrid1->cell(r, 2) == u"999005"_qs)
            row = r;
    }
    QVERIFY(row > 0);
    QCOMPARE(page->StringGrid1->cell(row, 5).size(), 1024 * 1024);

    QElapsedTimer shown;
    shown.start();
    doubleClickRow(page->StringGrid1, row);
    page->Memo1->viewport()->grab();
    QVERIFY2(shown.elapsed() < 3000, qPrintable(QString::number(shown.elapsed())));
    const QString text = page->Memo1->toPlainText();
    QVERIFY(text.startsWith(u"今日预警股票\n弹出时间："_qs));
    QVERIFY(text.contains(u"操作理由：0000"_qs));
    QCOMPARE(text.size(), OutsideText::TextViewLimit + 1);
    QVERIFY(text.endsWith(QChar(0x2026)));
}

void tst_TFormSMNC::countersRecordedAtOpen()
{
    // Changes made before the page opens: one alert added, one revised, one news item added.
    publishStock(u"999003"_qs, day(0) + u" 08:00:00"_qs);
    QString output;
    QCOMPARE(m_service->runCommand({u"revise"_qs, u"stock"_qs, u"1"_qs, u"--op"_qs, u"卖出"_qs}, &output), 0);
    QCOMPARE(m_service->runCommand(
                 {u"publish"_qs, u"news"_qs, u"--type"_qs, u"宏观"_qs, u"--text"_qs, u"新闻"_qs}, &output),
             0);
    const QStringList items =
        ChangeCounters::splitDelimitedText(ServiceClient::GetWebServiceSoap()->ifchangetable(2));
    QVERIFY(items.size() >= 14);
    UnitGlouble.LastInsiderAdded = -5; // not the page's to record

    openPage();
    QCOMPARE(UnitGlouble.LastStockAdded, items.at(0).toInt());
    QCOMPARE(UnitGlouble.LastStockChanged, items.at(1).toInt());
    QCOMPARE(UnitGlouble.LastLiveNewsAdded, items.at(12).toInt());
    QCOMPARE(UnitGlouble.LastLiveNewsChanged, items.at(13).toInt());
    QCOMPARE(UnitGlouble.LastStockAdded, 6); // the demo's five visible to VIP, and the new one
    QVERIFY(UnitGlouble.LastStockChanged > 0);
    QCOMPARE(UnitGlouble.LastLiveNewsAdded, 4);
    QCOMPARE(UnitGlouble.LastInsiderAdded, -5);
    QCOMPARE(UnitGlouble.ChangeCounters.size(), 12);
}

void tst_TFormSMNC::serviceDownAtOpen()
{
    const ServiceHostOverride closedHost(ClosedHost);
    UnitGlouble.LastStockAdded = 41;
    UnitGlouble.LastLiveNewsChanged = 42;
    TFormSMNC *page = openPage();
    QVERIFY(page->isVisible());
    QCOMPARE(page->cellText(Grid::TodayAlerts, 0, 1), QStringLiteral("弹出时间")); // headers before the calls
    QCOMPARE(page->StringGrid1->rowCount(), 2);
    QCOMPARE(page->cellText(Grid::TodayAlerts, 1, 2), QString());
    QCOMPARE(page->StringGrid2->rowCount(), 2);
    QCOMPARE(UnitGlouble.LastStockAdded, 41);
    QCOMPARE(UnitGlouble.LastLiveNewsChanged, 42);
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(UnitGlouble.AlertListOpen);
    // Nothing was ever fetched: the page says why its lists are empty, without a box.
    QVERIFY(page->OutageNote->isVisible());
    QCOMPARE(page->OutageNoteLabel->text(), QStringLiteral("未能从服务器取得列表。"));
    QVERIFY2(page->OutageNoteLabel->toolTip().contains(QStringLiteral("无法连接到服务器")),
             qPrintable(page->OutageNoteLabel->toolTip()));
}

// The page opened again while the service cannot be reached keeps the rows the last page had
// and says from when they are; 重新载入 with the service back brings fresh rows and the note goes.
void tst_TFormSMNC::reopenedDuringAnOutageKeepsItsRows()
{
    TFormSMNC *page = openPage();
    QVERIFY(!page->OutageNote->isVisible());
    const QStringList codes = columnOf(*page, Grid::LatestAlerts, 2, page->StringGrid2->rowCount() - 1);
    const QStringList news = columnOf(*page, Grid::TodayNews, 3, page->StringGrid3->rowCount() - 1);
    QVERIFY(codes.size() > 1 && !news.isEmpty());
    delete page;

    auto closedHost = std::make_unique<ServiceHostOverride>(ClosedHost);
    page = openPage();
    QCOMPARE(columnOf(*page, Grid::LatestAlerts, 2, page->StringGrid2->rowCount() - 1), codes);
    QCOMPARE(columnOf(*page, Grid::TodayNews, 3, page->StringGrid3->rowCount() - 1), news);
    QVERIFY(page->OutageNote->isVisible());
    QVERIFY2(page->OutageNoteLabel->text().startsWith(QStringLiteral("未能从服务器取得最新列表，下面是 ")),
             qPrintable(page->OutageNoteLabel->text()));
    QCOMPARE(m_boxes->count(), 0);

    closedHost.reset();
    publishStock(u"999005"_qs, day(0) + u" 10:00:00"_qs);
    QTest::mouseClick(page->OutageRetryButton, Qt::LeftButton);
    QTRY_VERIFY(!page->OutageNote->isVisible());
    QCOMPARE(page->cellText(Grid::LatestAlerts, 1, 2), QStringLiteral("999005"));
}

// The poll fetches on a worker thread and hands the answers to the open page.
void tst_TFormSMNC::fillFromAnswerAsThePollDoes()
{
    TFormSMNC *page = openPage();
    QCOMPARE(page->StringGrid1->rowCount(), 3);
    publishStock(u"999004"_qs, day(0) + u" 09:30:00"_qs, 2);

    const QString sql = ClientStatements::todayAlerts({UnitGlouble.UserTiering, UnitGlouble.UserLevel});
    QFuture<QString> fetched =
        QtConcurrent::run([sql] { return ServiceClient::GetWebServiceSoap()->hqsametable(sql); });
    QTRY_VERIFY_WITH_TIMEOUT(fetched.isFinished(), 10000);
    AlertListFills *fills = page;
    QCOMPARE(fills->fillFromAnswer(Grid::TodayAlerts, fetched.result()), 3);
    QCOMPARE(page->StringGrid1->rowCount(), 4);
    QCOMPARE(fills->cellText(Grid::TodayAlerts, 1, 2), QStringLiteral("999004"));
    QCOMPARE(fills->cellText(Grid::TodayAlerts, 1, 1), QStringLiteral("  ") + day(0) + u" 09:30:00"_qs);
    QCOMPARE(fills->cellText(Grid::TodayAlerts, 0, 2), QStringLiteral("股票代码"));
}

void tst_TFormSMNC::unreadableAnswerLeavesTheGrid()
{
    TFormSMNC *page = openPage();
    const QString before = page->cellText(Grid::TodayNews, 1, 3);
    const int rows = page->StringGrid3->rowCount();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             page->fillFromAnswer(Grid::TodayNews, QStringLiteral("<NewDataSet><Table>")));
    // A field with element content cannot be read: nothing of that answer is written.
    QVERIFY_THROWS_EXCEPTION(
        std::runtime_error,
        page->fillFromAnswer(Grid::TodayNews, QStringLiteral("<NewDataSet><Table><nowtime>x</nowtime>"
                                                             "</Table><Table><zxlx><b/></zxlx></Table>"
                                                             "</NewDataSet>")));
    QCOMPARE(page->StringGrid3->rowCount(), rows);
    QCOMPARE(page->cellText(Grid::TodayNews, 1, 3), before);
}

// The user's column widths stay for the next page; the hidden column 0 cannot be dragged open.
void tst_TFormSMNC::columnsResizedAndRemembered()
{
    TFormSMNC *page = openPage();
    QHeaderView *header = page->StringGrid1->horizontalHeader();
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Fixed);
    for (int column = 1; column < 6; ++column)
        QCOMPARE(header->sectionResizeMode(column), QHeaderView::Interactive);
    header->resizeSection(5, 240); // as a drag of the header's edge does
    const QList<int> news = page->StringGrid3->colWidths();
    delete page;

    page = openPage();
    QCOMPARE(page->StringGrid1->colWidth(5), 240);
    QCOMPARE(page->StringGrid1->colWidth(0), 0);
    QCOMPARE(page->StringGrid1->colWidth(1), 135); // untouched columns keep the design
    QCOMPARE(page->StringGrid3->colWidths(), news);
}

// A reason the column cuts ends in "…" and shows whole as the cell's tooltip; a code shown
// whole has none.
void tst_TFormSMNC::cutTextShowsWholeAsTooltip()
{
    const QString reason = QStringLiteral("放量突破年线，资金持续流入，券商板块同步走强");
    publishStock(u"999007"_qs, day(0) + u" 11:00:00"_qs, 3, u"买入"_qs, reason);
    TFormSMNC *page = openPage();
    StringGrid *grid = page->StringGrid1;
    QCOMPARE(page->cellText(Grid::TodayAlerts, 1, 5), reason);
    QCOMPARE(grid->textElideMode(), Qt::ElideRight);
    const auto askTooltip = [grid](int column) {
        const QRect cell = grid->visualRect(grid->model()->index(0, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(), grid->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(grid->viewport(), &help);
    };
    askTooltip(2);
    QVERIFY(!QToolTip::isVisible());
    askTooltip(5);
    QVERIFY(QToolTip::isVisible());
    QVERIFY2(QToolTip::text().contains(reason), qPrintable(QToolTip::text()));
    QToolTip::hideText();
}

void tst_TFormSMNC::buyRedSellGreen()
{
    publishStock(u"999008"_qs, day(0) + u" 11:01:00"_qs, 3, u"卖出"_qs);
    publishStock(u"999009"_qs, day(0) + u" 11:02:00"_qs, 3, u"持有"_qs);
    publishStock(u"999010"_qs, day(0) + u" 11:03:00"_qs, 3, u"买入"_qs);
    TFormSMNC *page = openPage();
    for (StringGrid *grid : {page->StringGrid1, page->StringGrid2}) {
        const auto colourOf = [grid](int row) {
            return grid->model()->index(row - 1, 4).data(Qt::ForegroundRole).value<QColor>();
        };
        QCOMPARE(grid->cell(1, 4), u"买入"_qs);
        QCOMPARE(grid->cell(2, 4), u"持有"_qs);
        QCOMPARE(grid->cell(3, 4), u"卖出"_qs);
        const QColor buy = colourOf(1);
        const QColor sell = colourOf(3);
        QVERIFY(buy.red() > 150 && buy.green() < 60);
        QVERIFY(sell.green() > 100 && sell.red() < 60);
        QVERIFY(!colourOf(2).isValid()); // other operations in the grid's own colour
        QVERIFY(!grid->model()->index(0, 2).data(Qt::ForegroundRole).isValid());
        // Readable on the grid's white.
        QVERIFY(TextContrast::ratio(buy, Qt::white) >= 4.5);
        QVERIFY(TextContrast::ratio(sell, Qt::white) >= 4.5);
    }
}

QTEST_MAIN(tst_TFormSMNC)
#include "tst_TFormSMNC.moc"
