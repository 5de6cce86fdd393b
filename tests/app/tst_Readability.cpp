// The client read as a user of any desktop theme and font size would: text drawn where the
// skin sets colours contrasts at least 4.5:1 with what is behind it, in a light and a dark
// palette; labels are not cut at 9, 11 and 12 point.
#include "Announcer.h"
#include "ClientServiceFixture.h"
#include "DarkPalette.h"
#include "LoginWindowSignIn.h"
#include "MainWindowWithTimersStopped.h"
#include "StringGrid.h"
#include "TPopUpNotifier.h"
#include "TextContrast.h"
#include "TfrmPopUpToast.h"
#include "URLLabel.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitMain.h"
#include "UnitSMNC.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

namespace {

// One place where text is drawn: how to take the text away (and put it back), and where.
struct TextPlace
{
    QString name;
    QWidget *widget;
    QRect area; // in the widget's coordinates
    std::function<void(bool shown)> show;
};

// The contrast of the text with what is behind it: the window drawn with and without the text,
// compared where the pixels differ. Text that does not show at all gives 1.
double contrastOf(QWidget *window, const TextPlace &place)
{
    const QRect area(place.widget->mapTo(window, place.area.topLeft()), place.area.size());
    const QImage with = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    place.show(false);
    const QImage without = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    place.show(true);
    double best = 1;
    for (int y = 0; y < with.height() && y < without.height(); ++y) {
        for (int x = 0; x < with.width() && x < without.width(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y))
                best = std::max(best,
                                TextContrast::ratio(QColor(with.pixel(x, y)), QColor(without.pixel(x, y))));
        }
    }
    return best;
}

TextPlace labelPlace(QLabel *label)
{
    const QString text = label->text();
    return {label->objectName().isEmpty() ? text : label->objectName(), label, label->rect(),
            [label, text](bool shown) { label->setText(shown ? text : QString()); }};
}

TextPlace buttonPlace(QAbstractButton *button)
{
    const QString text = button->text();
    return {text, button, button->rect(),
            [button, text](bool shown) { button->setText(shown ? text : QString()); }};
}

TextPlace groupTitlePlace(QGroupBox *box)
{
    const QString title = box->title();
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = title;
    option.subControls = QStyle::SC_GroupBoxLabel;
    const QRect label =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    return {title, box, label.adjusted(-2, -2, 2, 2),
            [box, title](bool shown) { box->setTitle(shown ? title : QString()); }};
}

TextPlace cellPlace(StringGrid *grid, int row, int column)
{
    const QString text = grid->cell(row, column);
    QRect area;
    QWidget *widget = nullptr;
    if (row == 0) {
        widget = grid->horizontalHeader();
        const QHeaderView *header = grid->horizontalHeader();
        area =
            QRect(header->sectionViewportPosition(column), 0, header->sectionSize(column), header->height());
    } else {
        widget = grid->viewport();
        area = grid->visualRect(grid->model()->index(row - 1, column)).adjusted(1, 1, -1, -1);
    }
    return {QStringLiteral("%1 row %2 column %3").arg(grid->objectName()).arg(row).arg(column), widget, area,
            [grid, row, column, text](bool shown) { grid->setCell(row, column, shown ? text : QString()); }};
}

// Every visible label, button and group title of a window, and the first rows of its grids.
QList<TextPlace> textPlaces(QWidget *window)
{
    QList<TextPlace> places;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->isVisibleTo(window) && !label->text().trimmed().isEmpty() && !label->rect().isEmpty())
            places.append(labelPlace(label));
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (button->isVisibleTo(window) && !button->text().trimmed().isEmpty() &&
            window->rect().intersects(QRect(button->mapTo(window, QPoint()), button->size())))
            places.append(buttonPlace(button));
    }
    for (QGroupBox *box : window->findChildren<QGroupBox *>()) {
        if (box->isVisibleTo(window) && !box->title().isEmpty())
            places.append(groupTitlePlace(box));
    }
    for (StringGrid *grid : window->findChildren<StringGrid *>()) {
        for (int column = 1; column < grid->colCount(); ++column) {
            places.append(cellPlace(grid, 0, column));
            if (!grid->cell(1, column).trimmed().isEmpty())
                places.append(cellPlace(grid, 1, column));
        }
    }
    return places;
}

} // namespace

class tst_Readability : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void textContrast_data();
    void textContrast();
    void labelsNotCut_data();
    void labelsNotCut();

private:
    void signIn();
    std::unique_ptr<ClientServiceFixture> m_client;
};

void tst_Readability::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    TFrmMain::setPageFactory(TFrmMain::PageKind::AlertList,
                             [](QWidget *hostPanel) { return new TFormSMNC(hostPanel); });
}

void tst_Readability::init()
{
    UnitGlouble = GlobalState{};
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
}

void tst_Readability::cleanup()
{
    m_client.reset();
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(QFont());
}

void tst_Readability::signIn()
{
    QVERIFY(signInThroughLoginWindow(QStringLiteral("demo"), QStringLiteral("demo")));
}

void tst_Readability::textContrast_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("window");
    for (const bool dark : {false, true}) {
        for (const char *window : {"main window", "alert list", "toast", "login window"})
            QTest::addRow("%s, %s palette", window, dark ? "dark" : "light")
                << dark << QString::fromLatin1(window);
    }
}

void tst_Readability::textContrast()
{
    QFETCH(bool, dark);
    QFETCH(QString, window);
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());

    std::unique_ptr<QWidget> owner;
    QWidget *shown = nullptr;
    if (window == QLatin1String("login window")) {
        auto login = std::make_unique<TFrmLogin>();
        login->Edit1->setText(QStringLiteral("demo"));
        login->show();
        shown = login.get();
        owner = std::move(login);
    } else {
        signIn();
        auto main = showMainWindowWithTimersStopped();
        if (window == QLatin1String("toast")) {
            main->announcer()->announce(
                QStringLiteral("弹出时间：2026-12-10 09:31:05\r股票代码：600036\r操作方式：买入"));
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (qobject_cast<TfrmPopUpToast *>(top))
                    shown = top;
            }
            auto *toast = qobject_cast<TfrmPopUpToast *>(shown);
            QVERIFY(toast);
            QTRY_VERIFY(!toast->tmrScroll->isActive()); // slid in
        } else {
            shown = window == QLatin1String("alert list") ? static_cast<QWidget *>(main->CurrentPage)
                                                          : static_cast<QWidget *>(main.get());
        }
        owner = std::move(main);
    }
    QVERIFY(shown);
    QVERIFY(QTest::qWaitForWindowExposed(shown->window()));
    const QList<TextPlace> places = textPlaces(shown);
    QVERIFY(places.size() >= 2);
    QStringList unreadable;
    for (const TextPlace &place : places) {
        const double ratio = contrastOf(shown->window(), place);
        if (ratio < 4.5)
            unreadable << QStringLiteral("%1 (%2:1)").arg(place.name).arg(ratio, 0, 'f', 2);
    }
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral(", "))));
}

void tst_Readability::labelsNotCut_data()
{
    QTest::addColumn<int>("points");
    for (const int points : {9, 11, 12})
        QTest::addRow("%d pt", points) << points;
}

// The header's captions and values and the login window's captions show their whole text
// inside the window, without running under their neighbours.
void tst_Readability::labelsNotCut()
{
    QFETCH(int, points);
    QFont font = QApplication::font();
    font.setPointSize(points);
    QApplication::setFont(font);

    const auto wholeText = [](const QLabel *label) {
        return label->width() >= label->fontMetrics().horizontalAdvance(label->text()) &&
               label->height() >= label->fontMetrics().height() &&
               label->window()->rect().contains(label->geometry());
    };
    TFrmLogin login;
    login.show();
    for (const QLabel *label : {login.Label1, login.Label3, login.Label2})
        QVERIFY2(wholeText(label), qPrintable(label->text()));
    QVERIFY(login.Label1->geometry().right() < login.Edit1->x());
    QVERIFY(login.Label3->geometry().right() < login.Edit2->x());
    QVERIFY(login.Label2->geometry().left() > login.CheckBox1->geometry().right());

    signIn();
    UnitGlouble.ExpiryDate = QStringLiteral("2099-12-31");
    auto main = showMainWindowWithTimersStopped();
    const QList<QLabel *> row1{main->Label5, main->Label8, main->Label6, main->Label9};
    const QList<QLabel *> row2{main->Label7, main->Label10};
    for (const QList<QLabel *> &row : {row1, row2}) {
        for (int i = 0; i < row.size(); ++i) {
            QVERIFY2(wholeText(row[i]), qPrintable(row[i]->text()));
            QVERIFY(!row[i]->text().endsWith(QChar(0x2026)));
            if (i > 0)
                QVERIFY2(row[i - 1]->geometry().right() < row[i]->x(), qPrintable(row[i]->text()));
        }
    }
    QCOMPARE(main->Label10->text(), QStringLiteral("2099-12-31"));
    // The first row ends before the caption buttons.
    QVERIFY(main->Label9->geometry().right() < main->SpeedButton1->x());
    QVERIFY(main->SpeedButton7->width() >= main->SpeedButton7->sizeHint().width());
}

QTEST_MAIN(tst_Readability)
#include "tst_Readability.moc"
