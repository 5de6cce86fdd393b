#include "UnitSMNC.h"

#include "AlertListMemory.h"
#include "ChangeCounters.h"
#include "ClientStatements.h"
#include "DefaultErrorReport.h"
#include "GridColumnWidths.h"
#include "OutsideText.h"
#include "ServiceClient.h"
#include "ServicePool.h"
#include "StringGrid.h"
#include "TextConversions.h"
#include "UnitGlouble.h"
#include "UserWait.h"

#include <QDate>
#include <QDateEdit>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <exception>

namespace {

// The service's answers carry no declaration; the client reads them as declared GB2312.
const QString XmlDeclaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?> ");

const QStringList AlertHeaders = {QStringLiteral("ID"),       QStringLiteral("弹出时间"),
                                  QStringLiteral("股票代码"), QStringLiteral("股票名称"),
                                  QStringLiteral("操作方式"), QStringLiteral("操作理由")};
const QStringList NewsHeaders = {QStringLiteral("ID"), QStringLiteral("弹出时间"), QStringLiteral("资讯类型"),
                                 QStringLiteral("资讯内容")};

// The fields written into columns 1.. of each kind of grid; column 1 is the time.
const QStringList AlertFields = {QStringLiteral("nowtime"), QStringLiteral("gupiaodaima"),
                                 QStringLiteral("jg"), QStringLiteral("czfs"), QStringLiteral("czly")};
const QStringList NewsFields = {QStringLiteral("nowtime"), QStringLiteral("zxlx"), QStringLiteral("zxnr")};

const QStringList AlertLabels = {QStringLiteral("弹出时间："), QStringLiteral("股票代码："),
                                 QStringLiteral("股票名称："), QStringLiteral("操作方式："),
                                 QStringLiteral("操作理由：")};
const QStringList NewsLabels = {QStringLiteral("弹出时间："), QStringLiteral("资讯类型："),
                                QStringLiteral("资讯内容：")};

// The operation column of the alert grids in the colours of Chinese quotes: buying red, selling
// green (both dark enough to read on the grid's white, at least 4.5:1).
constexpr int OperationColumn = 4;
const QHash<QString, QColor> OperationColours = {{QStringLiteral("买入"), QColor(0xc8, 0x10, 0x2e)},
                                                 {QStringLiteral("卖出"), QColor(0x00, 0x7a, 0x33)}};

constexpr int UpperBandHeight = 218;
constexpr int QueryStripHeight = 28;

// "  yyyy-mm-dd hh:nn:ss" out of the service's 2011-06-10T09:31:05.1234567+08:00; a shorter
// text is shown whole. The trim and the 19-character cut of TextConversions, in one
// allocation: a history fill formats ten thousand of them.
QString listTime(const QString &nowtime)
{
    QStringView text = nowtime;
    while (!text.isEmpty() && text.front().unicode() <= 32)
        text = text.sliced(1);
    while (!text.isEmpty() && text.back().unicode() <= 32)
        text.chop(1);
    QString shown;
    shown.reserve(2 + 19);
    shown.append(u"  ").append(text.left(19));
    return shown.replace(u'T', u' ');
}

// Whose alerts the list shows: the signed-in user's.
ClientStatements::Audience audience()
{
    return {UnitGlouble.UserTiering, UnitGlouble.UserLevel};
}

QGroupBox *groupBox(const QString &title, QWidget *parent, QWidget *content)
{
    auto *box = new QGroupBox(title, parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    if (content)
        layout->addWidget(content);
    return box;
}

QDateEdit *datePicker(QWidget *parent)
{
    auto *picker = new QDateEdit(parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return picker;
}

} // namespace

TFormSMNC::TFormSMNC(QWidget *hostPanel) : Tmain(), m_memory(&AlertListMemory::of(hostPanel))
{
    resize(956, 597);
    OutageNote = buildOutageNote();
    auto *upper = new QWidget(this);
    upper->setFixedHeight(UpperBandHeight);
    buildUpperBand(upper);
    auto *lower = new QWidget(this);
    buildLowerBand(lower);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(OutageNote);
    layout->addWidget(upper);
    layout->addWidget(lower, 1);

    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid2->setObjectName(QStringLiteral("StringGrid2"));
    StringGrid3->setObjectName(QStringLiteral("StringGrid3"));
    for (StringGrid *grid : {StringGrid1, StringGrid2, StringGrid3}) {
        const QList<int> widths = GridColumnWidths::remembered(grid->objectName(), grid->colCount());
        if (!widths.isEmpty())
            grid->setColWidths(widths);
    }
    StringGrid1->setTextColours(OperationColumn, OperationColours);
    StringGrid2->setTextColours(OperationColumn, OperationColours);
    for (StringGrid *grid : {StringGrid1, StringGrid2, StringGrid3}) {
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this, grid](int column) {
            if (column > 0)
                m_resizedGrids.insert(grid);
        });
    }

    connect(StringGrid1, &StringGrid::doubleClicked, this, &TFormSMNC::StringGrid1DblClick);
    connect(StringGrid2, &StringGrid::doubleClicked, this, &TFormSMNC::StringGrid2DblClick);
    connect(StringGrid3, &StringGrid::doubleClicked, this, &TFormSMNC::StringGrid3DblClick);
    connect(Button2, &QPushButton::clicked, this, &TFormSMNC::Button2Click);

    FormCreate();
    embedInto(hostPanel);
}

TFormSMNC::~TFormSMNC()
{
    FormDestroy();
}

void TFormSMNC::buildUpperBand(QWidget *band)
{
    StringGrid1 = new StringGrid(AlertHeaders.size());
    GroupBox1 = groupBox(QStringLiteral("今日预警股票"), band, StringGrid1);
    GroupBox1->setFixedWidth(449);
    Memo1 = new QPlainTextEdit;
    Memo1->setReadOnly(true);
    GroupBox2 = groupBox(QStringLiteral("详细内容"), band, Memo1);

    auto *layout = new QHBoxLayout(band);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2, 1);

    const int widths[] = {0, 135, 67, 57, 64, 97};
    for (int column = 1; column < 6; ++column)
        StringGrid1->setColWidth(column, widths[column]);
}

void TFormSMNC::buildLowerBand(QWidget *band)
{
    GroupBox3 = groupBox(QStringLiteral("历史预警记录"), band, nullptr);
    GroupBox3->setFixedWidth(448);
    GroupBox3->layout()->addWidget(buildQueryStrip(GroupBox3));
    StringGrid2 = new StringGrid(AlertHeaders.size());
    GroupBox3->layout()->addWidget(StringGrid2);
    StringGrid3 = new StringGrid(NewsHeaders.size());
    GroupBox4 = groupBox(QStringLiteral("实盘资讯"), band, StringGrid3);

    auto *layout = new QHBoxLayout(band);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(GroupBox3);
    layout->addWidget(GroupBox4, 1);

    const int historyWidths[] = {0, 135, 66, 60, 65, 94};
    for (int column = 1; column < 6; ++column)
        StringGrid2->setColWidth(column, historyWidths[column]);
    const int newsWidths[] = {0, 142, 62, 126};
    for (int column = 1; column < 4; ++column)
        StringGrid3->setColWidth(column, newsWidths[column]);
}

QWidget *TFormSMNC::buildQueryStrip(QWidget *parent)
{
    auto *strip = new QWidget(parent);
    strip->setFixedHeight(QueryStripHeight);
    Label1 = new QLabel(QStringLiteral("时间起："), strip);
    DateTimePicker1 = datePicker(strip);
    Label2 = new QLabel(QStringLiteral("时间止："), strip);
    DateTimePicker2 = datePicker(strip);
    Button2 = new QPushButton(QStringLiteral("查询"), strip);

    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    for (QWidget *widget : {static_cast<QWidget *>(Label1), static_cast<QWidget *>(DateTimePicker1),
                            static_cast<QWidget *>(Label2), static_cast<QWidget *>(DateTimePicker2),
                            static_cast<QWidget *>(Button2)})
        layout->addWidget(widget);
    layout->addStretch(1);
    return strip;
}

QFrame *TFormSMNC::buildOutageNote()
{
    auto *note = new QFrame(this);
    note->setObjectName(QStringLiteral("OutageNote"));
    OutageNoteLabel = new QLabel(note);
    OutageNoteLabel->setTextFormat(Qt::PlainText);
    OutageRetryButton = new QPushButton(QStringLiteral("重新载入"), note);
    auto *layout = new QHBoxLayout(note);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(OutageNoteLabel, 1);
    layout->addWidget(OutageRetryButton);
    connect(OutageRetryButton, &QPushButton::clicked, this, &TFormSMNC::retry);
    note->hide();
    return note;
}

void TFormSMNC::FormCreate()
{
    UnitGlouble.AlertListOpen = true;
}

void TFormSMNC::FormDestroy()
{
    UnitGlouble.AlertListOpen = false;
    // The widths the user set are there again when the page opens next.
    for (StringGrid *grid : m_resizedGrids)
        GridColumnWidths::remember(grid->objectName(), grid->colWidths());
}

void TFormSMNC::showEvent(QShowEvent *event)
{
    Tmain::showEvent(event);
    // The page is shown once by the main window; restoring a minimised window shows it
    // again, which must not rerun the four calls.
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFormSMNC::FormShow()
{
    setHeaders(StringGrid1, AlertHeaders);
    setHeaders(StringGrid2, AlertHeaders);
    setHeaders(StringGrid3, NewsHeaders);
    const QDate today = QDate::currentDate();
    DateTimePicker1->setDate(today.addDays(-1));
    DateTimePicker2->setDate(today);
    iniformdate();
}

void TFormSMNC::setHeaders(StringGrid *grid, const QStringList &titles)
{
    grid->setHeaderRowHeight(18);
    for (int column = 0; column < titles.size(); ++column)
        grid->setCell(0, column, titles.at(column));
    grid->setColWidth(0, 0);
}

void TFormSMNC::iniformdate()
{
    // Whatever fails leaves the grids filled so far and the counters stored so far; the poll
    // goes on regardless. A grid not refreshed shows what it showed last, with a word why.
    m_staleGrids = {Grid::TodayAlerts, Grid::LatestAlerts, Grid::TodayNews};
    try {
        todayAlertsFill();
        latestAlertsFill();
        todayNewsFill();
        FetchChangeCounters();
        UnitGlouble.LastStockAdded = ChangeCounters::counter(QStringLiteral("gptjadd"));
        UnitGlouble.LastStockChanged = ChangeCounters::counter(QStringLiteral("gptjsx"));
        UnitGlouble.LastLiveNewsAdded = ChangeCounters::counter(QStringLiteral("spzxadd"));
        UnitGlouble.LastLiveNewsChanged = ChangeCounters::counter(QStringLiteral("spzxsx"));
    } catch (const std::exception &error) {
        showRememberedRows(QString::fromUtf8(error.what()));
    }
}

void TFormSMNC::showRememberedRows(const QString &failure)
{
    if (m_staleGrids.empty())
        return;
    std::optional<QDateTime> oldest;
    for (const Grid grid : m_staleGrids) {
        const std::optional<AlertListMemory::Answer> remembered = m_memory->last(grid);
        if (!remembered)
            continue;
        try {
            m_document.load(XmlDeclaration + remembered->text);
            rowFill(grid);
            if (!oldest || remembered->fetchedAt < *oldest)
                oldest = remembered->fetchedAt;
        } catch (const std::exception &) {
        }
    }
    OutageNoteLabel->setText(oldest ? QStringLiteral("未能从服务器取得最新列表，下面是 %1 取得的内容。")
                                          .arg(oldest->toString(QStringLiteral("HH:mm:ss")))
                                    : QStringLiteral("未能从服务器取得列表。"));
    // The reason in the subscriber's words (a failure on the way to the service says what
    // happened); the technical detail stays out of the page.
    OutageNoteLabel->setToolTip(OutsideText::forToolTip(DefaultErrorReport::requestFor(failure).text));
    OutageNote->show();
}

void TFormSMNC::markRefreshed(Grid grid)
{
    m_staleGrids.erase(grid);
    if (m_staleGrids.empty())
        OutageNote->hide();
}

void TFormSMNC::retry()
{
    if (UserWait::isWaiting()) // a query already waits for the service
        return;
    iniformdate();
}

void TFormSMNC::todayAlertsFill()
{
    runFill(Grid::TodayAlerts, ClientStatements::todayAlerts(audience()));
}

void TFormSMNC::latestAlertsFill()
{
    runFill(Grid::LatestAlerts, ClientStatements::latestAlerts(audience()));
}

void TFormSMNC::todayNewsFill()
{
    runFill(Grid::TodayNews, ClientStatements::todayNews(audience()));
}

void TFormSMNC::Button2Click()
{
    if (UserWait::isWaiting()) // a query already waits for the service
        return;
    try {
        const QString sql =
            ClientStatements::alertHistory(audience(), DateTimePicker1->date(), DateTimePicker2->date());
        m_document.load(XmlDeclaration +
                        UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable, [&sql] {
                            return ServiceClient::GetWebServiceSoap()->hqsametable(sql);
                        }));
        rowFill(Grid::LatestAlerts);
        markRefreshed(Grid::LatestAlerts);
    } catch (const std::exception &) {
    }
}

int TFormSMNC::runFill(Grid grid, const QString &sql)
{
    return fillFromAnswer(
        grid, UserWait::run(this, ServicePool::threads(), ServicePool::runCancellable,
                            [&sql] { return ServiceClient::GetWebServiceSoap()->hqsametable(sql); }));
}

int TFormSMNC::fillFromAnswer(Grid grid, const QString &answer)
{
    m_document.load(XmlDeclaration + answer);
    const int rows = rowFill(grid);
    m_memory->remember(grid, answer);
    markRefreshed(grid);
    return rows;
}

// All or nothing: a row that cannot be read leaves the grid as it was.
int TFormSMNC::rowFill(Grid grid)
{
    StringGrid *target = gridOf(grid);
    const QStringList &fields = grid == Grid::TodayNews ? NewsFields : AlertFields;
    const int rows = m_document.rowCount();
    const int columns = target->colCount();
    QList<QString> cells(qsizetype(std::max(rows, 0)) * columns);
    for (int row = 0; row < rows; ++row) {
        QString *line = cells.data() + qsizetype(row) * columns;
        line[1] = listTime(m_document.fieldText(row, fields.at(0)));
        for (int field = 1; field < fields.size(); ++field)
            line[field + 1] = m_document.fieldText(row, fields.at(field));
    }
    // An empty answer also blanks the row an earlier answer left under the header.
    target->replaceDataRows(rows, std::move(cells));
    return rows;
}

QString TFormSMNC::cellText(Grid grid, int row, int column) const
{
    return gridOf(grid)->cell(row, column);
}

StringGrid *TFormSMNC::gridOf(Grid grid) const
{
    switch (grid) {
    case Grid::TodayAlerts:
        return StringGrid1;
    case Grid::LatestAlerts:
        return StringGrid2;
    case Grid::TodayNews:
        break;
    }
    return StringGrid3;
}

void TFormSMNC::StringGrid1DblClick()
{
    showDetail(StringGrid1, QStringLiteral("今日预警股票"), AlertLabels);
}

void TFormSMNC::StringGrid2DblClick()
{
    showDetail(StringGrid2, QStringLiteral("历史预警股票"), AlertLabels);
}

void TFormSMNC::StringGrid3DblClick()
{
    showDetail(StringGrid3, QStringLiteral("实盘资讯"), NewsLabels);
}

void TFormSMNC::showDetail(StringGrid *grid, const QString &title, const QStringList &labels)
{
    const int row = grid->selectedRow();
    QStringList lines{title};
    for (int column = 1; column <= labels.size(); ++column)
        lines.append(labels.at(column - 1) + TextConversions::trim(grid->cell(row, column)));
    // A reason can be a megabyte without a blank: bounded, and wrapped anywhere when long.
    OutsideText::showInView(Memo1, lines.join(QLatin1Char('\n')));
}
