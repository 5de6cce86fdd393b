#include "DesktopWorkArea.h"
#include "DesktopWorkAreaOverride.h"
#include "PopUpPresets.h"
#include "TPopUpNotifier.h"
#include "TextContrast.h"
#include "TfrmPopUpToast.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

namespace {

// A 1920 x 1080 screen with a 40-pixel taskbar at the bottom.
DesktopWorkArea::Snapshot bottomTaskbar()
{
    return {true, QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040)};
}

DesktopWorkArea::Snapshot rightTaskbar()
{
    return {true, QRect(0, 0, 1920, 1080), QRect(0, 0, 1860, 1080)};
}

QList<TfrmPopUpToast *> openToasts()
{
    QList<TfrmPopUpToast *> found;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *toast = qobject_cast<TfrmPopUpToast *>(window); toast && !toast->isClosed())
            found.append(toast);
    }
    return found;
}

// Shows one toast and returns the window it made (nullptr when refused).
TfrmPopUpToast *showOne(TPopUpNotifier &notifier)
{
    const QList<TfrmPopUpToast *> before = openToasts();
    if (!notifier.ShowPopUp())
        return nullptr;
    for (TfrmPopUpToast *toast : openToasts()) {
        if (!before.contains(toast))
            return toast;
    }
    return nullptr;
}

void slideIn(TfrmPopUpToast *toast)
{
    for (int tick = 0; tick < 100 && toast->tmrScroll->isActive(); ++tick)
        toast->tmrScrollTimer();
}

// Rightmost column holding a pixel that differs from the top-left one, or -1.
int inkRight(const QImage &image)
{
    const QRgb background = image.pixel(0, 0);
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) != background)
                return x;
        }
    }
    return -1;
}

QImage pixmapOf(const QLabel *label)
{
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class tst_TPopUpNotifier : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultsAndCopies();
    void presets();
    void shownToast();
    void lifeCycle_data();
    void lifeCycle();
    void stackFillsAndRefuses_data();
    void stackFillsAndRefuses();
    void taskbarMovedResetsTheStack();
    void fullStackLetsToastsWait();
    void twentyAlertsAreAllTold();
    void undeterminedEdgeKeepsTheToast();
    void clicks_data();
    void clicks();
    void closePopUpsFromTheClickHandler();
    void ownerFreesItsToasts();
    void plainAmpersandAndLineBreaks();
    void longTextIsFitted_data();
    void longTextIsFitted();
    void gradient_data();
    void gradient();
    void backgroundPicture_data();
    void backgroundPicture();

private:
    std::optional<DesktopWorkAreaOverride> workArea;
    QWidget *host = nullptr;
    TPopUpNotifier *notifier = nullptr;
};

void tst_TPopUpNotifier::init()
{
    workArea.emplace(bottomTaskbar);
    host = new QWidget;
    notifier = new TPopUpNotifier(host);
}

void tst_TPopUpNotifier::cleanup()
{
    delete host; // frees the notifier and any toast still open
    host = nullptr;
    notifier = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    workArea.reset();
    QVERIFY(openToasts().isEmpty());
}

void tst_TPopUpNotifier::defaultsAndCopies()
{
    const TPopUpNotifier fresh;
    QCOMPARE(fresh.Text(), QStringLiteral("text"));
    QCOMPARE(fresh.TimeOut(), 10);
    QCOMPARE(fresh.Width(), 200);
    QCOMPARE(fresh.Height(), 100);
    QCOMPARE(fresh.GradientColor1(), QColor(153, 204, 255));
    QCOMPARE(fresh.GradientColor2(), QColor(Qt::white));
    QCOMPARE(fresh.GradientOrientation(), TPopUpNotifier::mbVertical);
    QCOMPARE(fresh.ScrollSpeed(), 9);
    QCOMPARE(fresh.Font().font, QFont());
    QVERIFY(fresh.HoverFont().font.underline());
    QCOMPARE(fresh.HoverFont().color, QColor(Qt::blue));
    QCOMPARE(fresh.Title(), QStringLiteral("title"));
    QVERIFY(fresh.TitleFont().font.bold());
    QCOMPARE(fresh.Options(), TPopUpNotifier::poCascadePopups | TPopUpNotifier::poAllowScroll);
    QCOMPARE(fresh.TextAlignment(), Qt::Alignment(Qt::AlignHCenter));
    QCOMPARE(fresh.BackgroundDrawMethod(), TPopUpNotifier::dmActualSize);
    QCOMPARE(fresh.TextCursor(), Qt::ArrowCursor);
    QCOMPARE(fresh.PopupMarge(), 2);
    QCOMPARE(fresh.PopupStartX(), 16);
    QCOMPARE(fresh.PopupStartY(), 2);
    QCOMPARE(fresh.DefaultMonitor(), TPopUpNotifier::dmDesktop);
    QVERIFY(fresh.BackgroundImage().isNull());
    QCOMPARE(fresh.PopupCount(), 0);
    QCOMPARE(fresh.CascadeOffset(), 0);
    QCOMPARE(fresh.LastTaskbarEdge(), int(PopUpLayout::EdgeLeft));

    // Assigning a font or a picture copies it: later changes to the original do not reach in.
    PopUpFont font(QFont(QStringLiteral("Serif")), QColor(Qt::green));
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::yellow);
    notifier->setFont(font);
    notifier->setTitleFont(font);
    notifier->setHoverFont(font);
    notifier->setBackgroundImage(picture);
    font.font.setFamily(QStringLiteral("Monospace"));
    font.color = Qt::black;
    picture.fill(Qt::black);
    for (const PopUpFont &held : {notifier->Font(), notifier->TitleFont(), notifier->HoverFont()}) {
        QCOMPARE(held.font.family(), QStringLiteral("Serif"));
        QCOMPARE(held.color, QColor(Qt::green));
    }
    QCOMPARE(notifier->BackgroundImage().pixel(1, 1), QColor(Qt::yellow).rgb());

    notifier->setScrollSpeed(0);
    QCOMPARE(notifier->ScrollSpeed(), 1);
    notifier->setScrollSpeed(200);
    QCOMPARE(notifier->ScrollSpeed(), 50);
}

void tst_TPopUpNotifier::presets()
{
    applyMainWindowPreset(*notifier);
    QCOMPARE(notifier->Title(), QStringLiteral("提示"));
    QCOMPARE(notifier->TimeOut(), 6);
    QCOMPARE(QSize(notifier->Width(), notifier->Height()), QSize(200, 120));
    QCOMPARE(notifier->GradientColor1(), QColor(Qt::red));
    QCOMPARE(notifier->GradientOrientation(), TPopUpNotifier::mbHorizontal);
    QCOMPARE(notifier->Font().font.pixelSize(), 11);
    QCOMPARE(notifier->Font().font.families().value(0), QStringLiteral("MS Sans Serif"));
    // A red that reads on the pale part of the picture, and a title that reads on its band,
    // whatever the desktop's palette.
    QCOMPARE(notifier->Font().color, QColor(0xa0, 0x00, 0x00));
    QVERIFY(notifier->HoverFont().font.underline());
    QVERIFY(notifier->TitleFont().font.bold());
    QVERIFY(notifier->TitleFont().color.isValid());
    QCOMPARE(notifier->Options(), TPopUpNotifier::poCascadePopups | TPopUpNotifier::poAllowScroll);
    QCOMPARE(notifier->BackgroundDrawMethod(), TPopUpNotifier::dmFit);
    QCOMPARE(notifier->PopupMarge(), 2);
    QCOMPARE(notifier->PopupStartX(), 16);
    QCOMPARE(notifier->PopupStartY(), 2);
    // The picture is compiled into the library: a missing resource would leave it empty.
    const QImage picture = notifier->BackgroundImage();
    QCOMPARE(picture.size(), QSize(195, 97));
    QCOMPARE(picture.depth(), 24);

    TPopUpNotifier alertList;
    applyAlertListPreset(alertList);
    QCOMPARE(alertList.Height(), 150);
    QCOMPARE(alertList.Width(), 200);
    QCOMPARE(alertList.Title(), QStringLiteral("提示"));
    QCOMPARE(alertList.BackgroundImage(), picture);
}

void tst_TPopUpNotifier::shownToast()
{
    applyMainWindowPreset(*notifier);
    TfrmPopUpToast *toast = showOne(*notifier);
    QVERIFY(toast);
    QCOMPARE(toast->parentWidget(), host);
    QVERIFY(toast->isWindow());
    QVERIFY(toast->isVisible());

    // On top, never activated, and a tool window, which keeps it off the taskbar.
    const Qt::WindowFlags flags = toast->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(toast->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(toast->windowHandle()->flags() & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(toast->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));

    // Collapsed onto the bottom edge of its place at (1704, 918), 200 x 120.
    QCOMPARE(toast->TaskbarEdge(), int(PopUpLayout::EdgeBottom));
    QCOMPARE(toast->StartOffset(), 0);
    QCOMPARE(toast->geometry(), QRect(1704, 1038, 200, 1));
    QCOMPARE(toast->pnlBorder->geometry(), QRect(0, 0, 200, 120));
    QCOMPARE(toast->pnlBorder->frameWidth(), 2);
    QCOMPARE(toast->pnlBorder->frameShadow(), QFrame::Raised);
    QCOMPARE(toast->imgGradient->geometry(), QRect(2, 2, 196, 116));
    QCOMPARE(toast->lblTitle->pos(), QPoint(8, 8));
    QCOMPARE(toast->lblTitle->text(), QStringLiteral("提示"));
    QCOMPARE(toast->lblTitle->font(), notifier->TitleFont().font);
    QCOMPARE(toast->lblText->font(), notifier->Font().font); // shown in Font, not HoverFont
    QCOMPARE(toast->lblText->palette().color(QPalette::WindowText), notifier->Font().color);
    QVERIFY(toast->FreeOnClose());

    QVERIFY(toast->tmrScroll->isActive());
    QCOMPARE(toast->tmrScroll->interval(), 25);
    QCOMPARE(toast->tmrScrollDown->interval(), 25);
    QVERIFY(!toast->tmrExit->isActive());
    QCOMPARE(toast->tmrExit->interval(), 6000);

    QCOMPARE(notifier->PopupCount(), 1);
    QCOMPARE(notifier->CascadeOffset(), 122);
    QCOMPARE(notifier->LastTaskbarEdge(), int(PopUpLayout::EdgeBottom));
}

void tst_TPopUpNotifier::lifeCycle_data()
{
    QTest::addColumn<bool>("allowScroll");
    QTest::newRow("slides in") << true;
    QTest::newRow("shown at full size") << false;
}

void tst_TPopUpNotifier::lifeCycle()
{
    QFETCH(bool, allowScroll);
    notifier->setHeight(120);
    notifier->setTimeOut(3);
    notifier->setOptions(allowScroll ? TPopUpNotifier::poCascadePopups | TPopUpNotifier::poAllowScroll
                                     : TPopUpNotifier::TPopUpOptions(TPopUpNotifier::poCascadePopups));
    QPointer<TfrmPopUpToast> toast = showOne(*notifier);
    QVERIFY(toast);

    if (allowScroll) {
        QCOMPARE(toast->height(), 1);
        int ticks = 0;
        while (toast->tmrScroll->isActive() && ticks < 100) {
            QVERIFY(!toast->tmrExit->isActive());
            toast->tmrScrollTimer();
            ++ticks;
        }
        QCOMPARE(ticks, 14);
    } else {
        QVERIFY(!toast->tmrScroll->isActive());
    }
    QCOMPARE(toast->geometry(), QRect(1704, 918, 200, 120));
    QVERIFY(toast->tmrExit->isActive());
    QCOMPARE(toast->tmrExit->interval(), 3000);

    toast->tmrExitTimer();
    QVERIFY(!toast->tmrExit->isActive());
    QVERIFY(toast->tmrScrollDown->isActive());
    for (int tick = 1; tick <= 13; ++tick) {
        toast->tmrscrollDownTimer();
        QCOMPARE(toast->height(), 120 - 9 * tick);
        QCOMPARE(toast->y() + toast->height(), 1038);
    }
    QCOMPARE(toast->height(), 3);
    QVERIFY(toast->isVisible());
    QCOMPARE(notifier->PopupCount(), 1);

    toast->tmrscrollDownTimer(); // the fourteenth closes it
    QVERIFY(toast->isClosed());
    QVERIFY(!toast->isVisible());
    QVERIFY(!toast->tmrScrollDown->isActive());
    QCOMPARE(notifier->PopupCount(), 0);
    QTRY_VERIFY(toast.isNull());
}

void tst_TPopUpNotifier::stackFillsAndRefuses_data()
{
    QTest::addColumn<bool>("cascade");
    QTest::newRow("cascading") << true;
    QTest::newRow("all at the base position") << false;
}

void tst_TPopUpNotifier::stackFillsAndRefuses()
{
    QFETCH(bool, cascade);
    applyMainWindowPreset(*notifier);
    notifier->setOptions(cascade ? TPopUpNotifier::poCascadePopups | TPopUpNotifier::poAllowScroll
                                 : TPopUpNotifier::TPopUpOptions(TPopUpNotifier::poAllowScroll));
    QList<int> tops;
    for (int i = 0; i < 8; ++i) {
        TfrmPopUpToast *toast = showOne(*notifier);
        QVERIFY(toast);
        slideIn(toast);
        tops.append(toast->y());
    }
    QCOMPARE(notifier->PopupCount(), 8);
    if (cascade) {
        QCOMPARE(tops, (QList<int>{918, 796, 674, 552, 430, 308, 186, 64}));
        QVERIFY(!notifier->ShowPopUp()); // the ninth has no room
        QCOMPARE(openToasts().size(), 8);
        QCOMPARE(notifier->PopupCount(), 8);
    } else {
        QCOMPARE(tops, QList<int>(8, 918));
        QVERIFY(notifier->ShowPopUp());
        QCOMPARE(notifier->PopupCount(), 9);
    }
}

// The ninth toast finds no place: it waits, and takes the place of the first toast that closes
// (the lowest), with the text it was asked with.
void tst_TPopUpNotifier::fullStackLetsToastsWait()
{
    applyMainWindowPreset(*notifier);
    QList<TfrmPopUpToast *> toasts;
    for (int i = 0; i < 8; ++i) {
        notifier->setText(QString::number(i));
        toasts.append(showOne(*notifier));
        QVERIFY(toasts.last());
    }
    QSignalSpy shown(notifier, &TPopUpNotifier::popUpShown);
    notifier->setText(QStringLiteral("waiting"));
    QVERIFY(!notifier->ShowPopUp());
    QCOMPARE(notifier->WaitingCount(), 1);
    notifier->setText(QStringLiteral("current"));
    toasts.at(3)->close();
    QTRY_COMPARE(shown.count(), 1);
    QCOMPARE(shown.first().first().toString(), QStringLiteral("waiting"));
    QCOMPARE(notifier->WaitingCount(), 0);
    QCOMPARE(notifier->Text(), QStringLiteral("current"));
    TfrmPopUpToast *waited = nullptr;
    for (TfrmPopUpToast *toast : openToasts()) {
        if (!toasts.contains(toast))
            waited = toast;
    }
    QVERIFY(waited);
    QCOMPARE(waited->StartOffset(), 3 * 122);
}

// Twenty alerts while the stack is full: each gets a toast of its own or is counted in the
// merged one, none is lost.
void tst_TPopUpNotifier::twentyAlertsAreAllTold()
{
    applyMainWindowPreset(*notifier);
    const DesktopWorkAreaOverride sixHigh([] {
        return DesktopWorkArea::Snapshot{true, QRect(0, 0, 1920, 840), QRect(0, 0, 1920, 800)};
    });
    QSignalSpy shown(notifier, &TPopUpNotifier::popUpShown);
    for (int i = 0; i < 20; ++i) {
        notifier->setText(QStringLiteral("alert %1").arg(i));
        notifier->ShowPopUp();
    }
    QCOMPARE(shown.count(), 6);
    QCOMPARE(notifier->WaitingCount(), TPopUpNotifier::MaxWaiting);
    QCOMPARE(notifier->MergedCount(), 20 - 6 - TPopUpNotifier::MaxWaiting);
    for (int round = 0; round < 10 && (notifier->WaitingCount() > 0 || notifier->MergedCount() > 0);
         ++round) {
        notifier->ClosePopUps();
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    int told = 0;
    QStringList single;
    const QRegularExpression merged(QStringLiteral("^还有 (\\d+) 条新预警$"));
    for (const QList<QVariant> &arguments : shown) {
        const QString text = arguments.first().toString();
        const QRegularExpressionMatch match = merged.match(text);
        told += match.hasMatch() ? match.captured(1).toInt() : 1;
        if (!match.hasMatch())
            single.append(text);
    }
    QCOMPARE(told, 20);
    QCOMPARE(single.first(), QStringLiteral("alert 0"));
    QCOMPARE(single.last(), QStringLiteral("alert %1").arg(6 + TPopUpNotifier::MaxWaiting - 1));
}

void tst_TPopUpNotifier::taskbarMovedResetsTheStack()
{
    applyMainWindowPreset(*notifier);
    QVERIFY(showOne(*notifier));
    QVERIFY(showOne(*notifier));
    QCOMPARE(notifier->PopupCount(), 2);

    const DesktopWorkAreaOverride taskbarMoved(rightTaskbar);
    TfrmPopUpToast *toast = showOne(*notifier);
    QVERIFY(toast);
    QCOMPARE(notifier->PopupCount(), 1);
    QCOMPARE(notifier->LastTaskbarEdge(), int(PopUpLayout::EdgeRight));
    QCOMPARE(toast->TaskbarEdge(), int(PopUpLayout::EdgeRight));
    QCOMPARE(toast->StartOffset(), 0);
    QCOMPARE(toast->geometry(), QRect(1844, 958, 1, 120)); // collapsed onto its right side
    slideIn(toast);
    QCOMPARE(toast->geometry(), QRect(1644, 958, 200, 120));
}

void tst_TPopUpNotifier::undeterminedEdgeKeepsTheToast()
{
    const DesktopWorkAreaOverride noScreen([] { return DesktopWorkArea::Snapshot{}; });
    notifier->setHeight(120);
    QPointer<TfrmPopUpToast> toast = showOne(*notifier);
    QVERIFY(toast);
    QCOMPARE(toast->TaskbarEdge(), int(PopUpLayout::EdgeUndetermined));
    QCOMPARE(toast->geometry(), QRect(0, 0, 200, 120));
    QCOMPARE(notifier->CascadeOffset(), 0);
    for (int tick = 0; tick < 50; ++tick)
        toast->tmrScrollTimer();
    QCOMPARE(toast->geometry(), QRect(0, 0, 200, 120));
    QVERIFY(toast->tmrScroll->isActive());
    QVERIFY(!toast->tmrExit->isActive());

    notifier->ClosePopUps();
    QVERIFY(toast->isClosed());
    QCOMPARE(notifier->PopupCount(), 0);
    QTRY_VERIFY(toast.isNull());
}

void tst_TPopUpNotifier::clicks_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("handler");
    QTest::addColumn<bool>("closes");

    QTest::newRow("text, right") << "text" << Qt::RightButton << true << true;
    // The text covers most of the toast: any button over it does what it does elsewhere.
    QTest::newRow("text, left") << "text" << Qt::LeftButton << true << true;
    QTest::newRow("text, middle") << "text" << Qt::MiddleButton << true << true;
    QTest::newRow("title, left") << "title" << Qt::LeftButton << true << true;
    QTest::newRow("title, right") << "title" << Qt::RightButton << true << true;
    QTest::newRow("picture, left") << "picture" << Qt::LeftButton << true << true;
    QTest::newRow("picture, middle") << "picture" << Qt::MiddleButton << true << true;
    QTest::newRow("picture, no handler") << "picture" << Qt::LeftButton << false << true;
}

void tst_TPopUpNotifier::clicks()
{
    QFETCH(QString, target);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, handler);
    QFETCH(bool, closes);

    applyMainWindowPreset(*notifier);
    QList<QObject *> senders;
    QList<bool> freeOnCloseDuringClick;
    QPointer<TfrmPopUpToast> toast = showOne(*notifier);
    QVERIFY(toast);
    if (handler) {
        connect(notifier, &TPopUpNotifier::OnClick, this, [&](QObject *sender) {
            senders.append(sender);
            freeOnCloseDuringClick.append(toast->FreeOnClose());
            QVERIFY(toast->isVisible()); // raised before the toast closes
        });
    }
    slideIn(toast);

    QWidget *widget = target == "text"    ? static_cast<QWidget *>(toast->lblText)
                      : target == "title" ? static_cast<QWidget *>(toast->lblTitle)
                                          : static_cast<QWidget *>(toast->imgGradient);
    QTest::mouseClick(widget, button);

    QCOMPARE(toast->isClosed(), closes);
    QCOMPARE(notifier->PopupCount(), closes ? 0 : 1);
    QCOMPARE(senders, handler && closes ? QList<QObject *>{notifier} : QList<QObject *>{});
    if (!senders.isEmpty())
        QCOMPARE(freeOnCloseDuringClick, QList<bool>{false});
    if (closes) {
        QTRY_VERIFY(toast.isNull());
    } else {
        QVERIFY(toast->isVisible());
        QVERIFY(toast->FreeOnClose());
    }
}

void tst_TPopUpNotifier::closePopUpsFromTheClickHandler()
{
    applyMainWindowPreset(*notifier);
    // A second notifier on another window: ClosePopUps closes its toasts as well.
    auto otherHost = std::make_unique<QWidget>();
    auto *other = new TPopUpNotifier(otherHost.get());
    applyAlertListPreset(*other);

    QList<QPointer<TfrmPopUpToast>> mine;
    for (int i = 0; i < 3; ++i)
        mine.append(showOne(*notifier));
    QPointer<TfrmPopUpToast> theirs = showOne(*other);
    QVERIFY(theirs);
    QCOMPARE(notifier->PopupCount(), 3);
    QCOMPARE(other->PopupCount(), 1);

    QPointer<TfrmPopUpToast> clicked = mine.at(1);
    int calls = 0;
    connect(notifier, &TPopUpNotifier::OnClick, this, [&](QObject *sender) {
        ++calls;
        QCOMPARE(sender, notifier);
        notifier->ClosePopUps();
        // The clicked toast is still on the call stack: hidden, not freed.
        QVERIFY(clicked);
        QVERIFY(!clicked->isClosed());
        QVERIFY(!clicked->isVisible());
        QVERIFY(mine.at(0)->isClosed());
        QVERIFY(mine.at(2)->isClosed());
        QVERIFY(theirs->isClosed());
        QCOMPARE(notifier->PopupCount(), 1);
    });
    QTest::mouseClick(clicked->lblTitle, Qt::LeftButton);

    QCOMPARE(calls, 1);
    QVERIFY(clicked->isClosed());
    QCOMPARE(notifier->PopupCount(), 0);
    QCOMPARE(other->PopupCount(), 0);
    QVERIFY(openToasts().isEmpty());
    QTRY_VERIFY(clicked.isNull() && mine.at(0).isNull() && mine.at(2).isNull() && theirs.isNull());

    // With the stack empty the next toast takes the base position again.
    TfrmPopUpToast *next = showOne(*notifier);
    QVERIFY(next);
    QCOMPARE(next->StartOffset(), 0);
}

void tst_TPopUpNotifier::ownerFreesItsToasts()
{
    applyMainWindowPreset(*notifier);
    QPointer<TfrmPopUpToast> first = showOne(*notifier);
    QPointer<TfrmPopUpToast> second = showOne(*notifier);
    QVERIFY(first && second);
    delete host;
    host = nullptr;
    notifier = nullptr;
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());

    // A toast outliving its notifier still finishes its life.
    host = new QWidget;
    auto *shortLived = new TPopUpNotifier(host);
    QPointer<TfrmPopUpToast> orphan = showOne(*shortLived);
    QVERIFY(orphan);
    delete shortLived;
    slideIn(orphan);
    orphan->tmrExitTimer();
    for (int tick = 0; tick < 100 && !orphan->isClosed(); ++tick)
        orphan->tmrscrollDownTimer();
    QVERIFY(orphan->isClosed());
    QTRY_VERIFY(orphan.isNull());
}

void tst_TPopUpNotifier::plainAmpersandAndLineBreaks()
{
    applyMainWindowPreset(*notifier);
    notifier->setText(QStringLiteral("R&D 股票\r第二行\r\n第三行"));
    notifier->setTitle(QStringLiteral("R&D"));
    TfrmPopUpToast *toast = showOne(*notifier);
    QVERIFY(toast);

    // Each carriage return starts a line (CR LF counts once).
    QLabel *text = toast->lblText;
    QCOMPARE(text->text(), QStringLiteral("R&D 股票\n第二行\n第三行"));
    const QFontMetrics metrics(text->font());
    QVERIFY2(text->height() >= 3 * metrics.height() - 2, qPrintable(QString::number(text->height())));
    QVERIFY(text->height() < 4 * metrics.height());
    // The label's own layout needs exactly the space it was given: nothing is cut off.
    QCOMPARE(text->heightForWidth(text->width()), text->height());
    QVERIFY(text->width() <= toast->pnlBorder->width() - 15);
    // Centred in the whole toast, halves going to the even neighbour.
    QVERIFY(qAbs(2 * text->x() + text->width() - 200) <= 1);
    QVERIFY(qAbs(2 * text->y() + text->height() - 120) <= 1);

    // "&" is drawn, not taken as a mnemonic marker: the ink reaches past the width of "RD".
    QLabel *title = toast->lblTitle;
    QCOMPARE(title->text(), QStringLiteral("R&D"));
    const QFontMetrics titleMetrics(title->font());
    QVERIFY(title->width() >= titleMetrics.horizontalAdvance(QStringLiteral("R&D")));
    QImage rendered(title->size(), QImage::Format_ARGB32);
    rendered.fill(Qt::white);
    title->render(&rendered, QPoint(), QRegion(), QWidget::DrawChildren);
    QVERIFY2(inkRight(rendered) > titleMetrics.horizontalAdvance(QStringLiteral("RD")),
             qPrintable(QString::number(inkRight(rendered))));
}

void tst_TPopUpNotifier::longTextIsFitted_data()
{
    QTest::addColumn<QString>("news");
    QTest::addColumn<bool>("smaller");
    QTest::addColumn<bool>("cut");
    QTest::newRow("short: as it is") << QStringLiteral("央行开展逆回购操作") << false << false;
    QTest::newRow("longer: a smaller font")
        << QStringLiteral("券商板块异动拉升，多只个股涨停，成交量明显放大。").repeated(2) << true << false;
    QTest::newRow("long: cut, whole in the tooltip")
        << QStringLiteral("沪指午后翻红，成交量较昨日放大，券商与银行板块领涨，两市超过三千只个股上涨。")
               .repeated(6)
        << true << true;
}

// A long news text keeps clear of the title, stays where the picture is pale enough for the red
// text to read, and is shrunk or cut rather than drawn over either.
void tst_TPopUpNotifier::longTextIsFitted()
{
    QFETCH(QString, news);
    QFETCH(bool, smaller);
    QFETCH(bool, cut);
    applyMainWindowPreset(*notifier);
    const QString text =
        QStringLiteral("弹出时间：2026-12-10 09:32:40\r资讯类型：盘中快讯\r资讯内容：") + news;
    notifier->setText(text);
    TfrmPopUpToast *toast = showOne(*notifier);
    QVERIFY(toast);

    const QRect area = toast->textArea();
    QVERIFY(area.top() > toast->lblTitle->geometry().bottom());
    QVERIFY2(area.contains(toast->lblText->geometry()),
             qPrintable(QStringLiteral("text at %1,%2 %3x%4, area %5..%6")
                            .arg(toast->lblText->x())
                            .arg(toast->lblText->y())
                            .arg(toast->lblText->width())
                            .arg(toast->lblText->height())
                            .arg(area.top())
                            .arg(area.bottom())));
    // The label's own layout needs no more than it was given: nothing of it is clipped.
    QVERIFY(toast->lblText->heightForWidth(toast->lblText->width()) <= toast->lblText->height());
    // Every row behind the text reads: the picture as painted, against the text's colour.
    const QImage background = toast->imgGradient->pixmap().toImage();
    const QColor ink = toast->lblText->palette().color(QPalette::WindowText);
    for (int y = toast->lblText->y(); y <= toast->lblText->geometry().bottom(); ++y) {
        const QColor behind = background.pixelColor(background.width() / 2, y - toast->imgGradient->y());
        QVERIFY2(TextContrast::ratio(ink, behind) >= 4.5,
                 qPrintable(QStringLiteral("row %1: %2").arg(y).arg(TextContrast::ratio(ink, behind))));
    }

    const int pixelSize = toast->lblText->font().pixelSize();
    QCOMPARE(pixelSize < 11, smaller);
    QVERIFY(pixelSize >= TfrmPopUpToast::SmallestTextPixelSize);
    QCOMPARE(toast->lblText->text().endsWith(QChar(0x2026)), cut);
    QCOMPARE(toast->toolTip().isEmpty(), !cut);
    if (cut) {
        QVERIFY(toast->toolTip().contains(news.left(30)));
        QVERIFY(toast->toolTip().contains(QStringLiteral("资讯类型：盘中快讯")));
    } else {
        QCOMPARE(toast->lblText->text(), QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    }
}

void tst_TPopUpNotifier::gradient_data()
{
    QTest::addColumn<TPopUpNotifier::TOrientation>("orientation");
    QTest::newRow("horizontal") << TPopUpNotifier::mbHorizontal;
    QTest::newRow("vertical") << TPopUpNotifier::mbVertical;
}

void tst_TPopUpNotifier::gradient()
{
    QFETCH(TPopUpNotifier::TOrientation, orientation);
    const QColor start(255, 0, 0);
    const QColor end(255, 255, 255);
    notifier->setGradientColor1(start);
    notifier->setGradientColor2(end);
    notifier->setGradientOrientation(orientation);
    notifier->setHeight(120);
    TfrmPopUpToast *toast = showOne(*notifier);
    QVERIFY(toast);

    const QImage image = pixmapOf(toast->imgGradient);
    QCOMPARE(image.size(), QSize(196, 116));
    const bool horizontal = orientation == TPopUpNotifier::mbHorizontal;
    const int n = horizontal ? image.width() : image.height();
    for (int i : {0, 1, n / 2, n - 1}) {
        const QRgb expected = PopUpLayout::blendColor(start, end, i, n).rgb();
        // Every pixel of a column (or row) has its colour.
        for (int j : {0, (horizontal ? image.height() : image.width()) - 1}) {
            const QPoint at = horizontal ? QPoint(i, j) : QPoint(j, i);
            QCOMPARE(QColor(image.pixel(at)), QColor(expected));
        }
    }
    QCOMPARE(QColor(image.pixel(0, 0)), start);
}

void tst_TPopUpNotifier::backgroundPicture_data()
{
    QTest::addColumn<TPopUpNotifier::TImageDrawMethod>("method");
    QTest::newRow("actual size") << TPopUpNotifier::dmActualSize;
    QTest::newRow("tile") << TPopUpNotifier::dmTile;
    QTest::newRow("fit") << TPopUpNotifier::dmFit;
}

void tst_TPopUpNotifier::backgroundPicture()
{
    QFETCH(TPopUpNotifier::TImageDrawMethod, method);
    // 10 x 8: blue left half, green right half, and a magenta bottom row that is see-through
    // because the bottom-left pixel has that colour.
    QImage picture(10, 8, QImage::Format_RGB888);
    picture.fill(Qt::blue);
    for (int y = 0; y < 8; ++y) {
        for (int x = 5; x < 10; ++x)
            picture.setPixelColor(x, y, Qt::green);
    }
    for (int x = 0; x < 10; ++x)
        picture.setPixelColor(x, 7, Qt::magenta);
    notifier->setBackgroundImage(picture);
    notifier->setBackgroundDrawMethod(method);
    notifier->setWidth(29); // a picture area of 25 x 20
    notifier->setHeight(24);
    TfrmPopUpToast *toast = showOne(*notifier);
    QVERIFY(toast);

    const QImage image = pixmapOf(toast->imgGradient);
    QCOMPARE(image.size(), QSize(25, 20));
    const auto colourAt = [&](int x, int y) { return QColor::fromRgba(image.pixel(x, y)); };
    const QColor none = QColor::fromRgba(0);
    QCOMPARE(colourAt(0, 0), QColor(Qt::blue));
    switch (method) {
    case TPopUpNotifier::dmActualSize:
        QCOMPARE(colourAt(9, 0), QColor(Qt::green));
        QCOMPARE(colourAt(3, 7), none);  // the see-through row
        QCOMPARE(colourAt(12, 3), none); // beyond the picture
        QCOMPARE(colourAt(3, 12), none);
        break;
    case TPopUpNotifier::dmTile:
        QCOMPARE(colourAt(11, 9), QColor(Qt::blue)); // second column, second row of tiles
        QCOMPARE(colourAt(16, 17), QColor(Qt::green));
        QCOMPARE(colourAt(13, 15), none);
        break;
    case TPopUpNotifier::dmFit:
        QCOMPARE(colourAt(24, 0), QColor(Qt::green));
        QCOMPARE(colourAt(24, 16), QColor(Qt::green));
        QCOMPARE(colourAt(3, 19), none);
        break;
    }
}

QTEST_MAIN(tst_TPopUpNotifier)
#include "tst_TPopUpNotifier.moc"
