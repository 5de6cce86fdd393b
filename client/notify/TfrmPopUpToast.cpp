#include "TfrmPopUpToast.h"

#include "DesktopWorkArea.h"
#include "OutsideText.h"
#include "TextContrast.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int ScrollIntervalMs = 25;
constexpr int BevelWidth = 2; // raised outer and lowered inner bevel, one pixel each

void applyFont(QLabel *label, const PopUpFont &font)
{
    label->setFont(font.font);
    QPalette palette = label->palette();
    if (font.color.isValid())
        palette.setColor(QPalette::WindowText, font.color);
    else
        palette.setColor(QPalette::WindowText, label->parentWidget()->palette().color(QPalette::WindowText));
    label->setPalette(palette);
}

// A carriage return starts a line, as does CR LF; the label breaks lines only at LF.
QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// A toast's whole text as its tooltip: long news is worth reading in full.
constexpr qsizetype ToolTipCharacters = 2000;

int pixelSizeOf(const QFont &font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

// The text as the lines it wraps to at this width, at most maxLines of them, the last one cut
// with "…" when the text goes on.
QString cutToLines(const QString &text, const QFont &font, int width, int maxLines)
{
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laidOut, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() + 1 == maxLines) {
            const QString rest =
                laidOut.mid(line.textStart()).replace(QChar::LineSeparator, QLatin1Char(' '));
            lines.append(QFontMetrics(font).elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(laidOut.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator).trimmed());
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

QLabel *makeLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Plain text and no buddy: "&" is shown as it is, never taken as a mnemonic marker.
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    return label;
}

QTimer *makeTimer(QObject *parent, int intervalMs)
{
    auto *timer = new QTimer(parent);
    timer->setInterval(intervalMs);
    return timer;
}

} // namespace

TfrmPopUpToast::TfrmPopUpToast(TPopUpNotifier *notifier, QWidget *owner)
    : QWidget(owner,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_notifier(notifier), m_width(notifier->Width()), m_height(notifier->Height()),
      m_text(notifier->Text()), m_title(notifier->Title()), m_timeOut(notifier->TimeOut()),
      m_allowScroll(notifier->Options().testFlag(TPopUpNotifier::poAllowScroll)),
      m_scrollSpeed(notifier->ScrollSpeed()),
      m_cascade(notifier->Options().testFlag(TPopUpNotifier::poCascadePopups)),
      m_gradientColor1(notifier->GradientColor1()), m_gradientColor2(notifier->GradientColor2()),
      m_gradientOrientation(notifier->GradientOrientation()), m_textAlignment(notifier->TextAlignment()),
      m_staysUntilClicked(notifier->staysUntilClicked()), m_textCursor(notifier->TextCursor()),
      m_drawMethod(notifier->BackgroundDrawMethod()), m_defaultMonitor(notifier->DefaultMonitor()),
      m_backgroundImage(notifier->BackgroundImage()), m_font(notifier->Font()),
      m_hoverFont(notifier->HoverFont()), m_titleFont(notifier->TitleFont()), m_margins(notifier->m_margins)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    // A toast is never the active window, and a cut text shows whole in its tooltip.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    // The content is anchored at the top-left corner and never changes while the window grows
    // or shrinks: a resize only needs the newly uncovered strip painted.
    setAttribute(Qt::WA_StaticContents);
    setFocusPolicy(Qt::NoFocus);

    pnlBorder = new QFrame(this);
    // A box drawn raised shades its outer line raised and its inner line lowered.
    pnlBorder->setFrameStyle(QFrame::Box | QFrame::Raised);
    pnlBorder->setLineWidth(1);
    pnlBorder->setMidLineWidth(0);
    pnlBorder->setGeometry(0, 0, m_width, m_height);

    imgGradient = new QLabel(pnlBorder);
    imgGradient->setGeometry(BevelWidth, BevelWidth, m_width - 2 * BevelWidth, m_height - 2 * BevelWidth);
    imgGradient->installEventFilter(this);

    lblText = makeLabel(pnlBorder);
    lblText->setWordWrap(true);
    lblText->setAlignment(m_textAlignment | Qt::AlignVCenter);
    lblText->setGeometry(9, 49, 3, 13);
    lblText->installEventFilter(this);

    lblTitle = makeLabel(pnlBorder);
    lblTitle->setWordWrap(false);
    lblTitle->move(48, 8);
    lblTitle->installEventFilter(this);

    tmrExit = makeTimer(this, 10000);
    tmrScroll = makeTimer(this, ScrollIntervalMs);
    tmrScrollDown = makeTimer(this, ScrollIntervalMs);
    connect(tmrExit, &QTimer::timeout, this, &TfrmPopUpToast::tmrExitTimer);
    connect(tmrScroll, &QTimer::timeout, this, &TfrmPopUpToast::tmrScrollTimer);
    connect(tmrScrollDown, &QTimer::timeout, this, &TfrmPopUpToast::tmrscrollDownTimer);
}

TfrmPopUpToast::~TfrmPopUpToast()
{
    // A toast freed without closing (its owner went first) leaves the stack as well.
    releaseCount();
}

void TfrmPopUpToast::PopUp()
{
    const QRect workArea = DesktopWorkArea::workArea();
    resize(m_width, m_height);
    lblText->setCursor(m_textCursor);

    m_taskbarEdge = TPopUpNotifier::GetTaskbarEdge();
    m_freeOnClose = true;
    const QSize size(m_width, m_height);
    QPoint position(0, 0);
    if (m_notifier)
        position =
            m_notifier->m_layout.place(m_taskbarEdge, workArea, size, m_margins, m_cascade, &m_startOffset);

    applyFont(lblTitle, m_titleFont);
    lblTitle->setText(m_title);
    lblTitle->adjustSize();

    // Make the native window now, while it is still hidden, so that showing it later only maps it.
    applyGeometry(QRect(position, size));
    create();
    pnlBorder->setGeometry(0, 0, m_width, m_height);
    imgGradient->setGeometry(BevelWidth, BevelWidth, m_width - 2 * BevelWidth, m_height - 2 * BevelWidth);

    PaintBackground();
    lblTitle->move(8, lblTitle->y());
    findTextArea();

    tmrExit->setInterval(qMax(0, m_timeOut) * 1000);
    if (m_allowScroll) {
        applyGeometry(PopUpLayout::collapsed(m_taskbarEdge, m_geometry));
        tmrScroll->start();
    } else if (!m_staysUntilClicked) {
        tmrExit->start();
    }

    show();

    // The toast carries the hover font along, but the text is always laid out and shown in Font.
    LayoutText(m_font);
}

void TfrmPopUpToast::applyGeometry(const QRect &geometry)
{
    // The animation works from what it set last, not from what the window system reports back,
    // so that a late configure notification cannot make a step go backwards.
    m_geometry = geometry;
    setGeometry(geometry);
}

void TfrmPopUpToast::PaintBackground()
{
    const QSize size = imgGradient->size();
    if (size.isEmpty())
        return;
    if (m_backgroundImage.isNull()) {
        imgGradient->setPixmap(QPixmap::fromImage(GradientImage(size)));
        return;
    }

    // Pixels of the picture's bottom-left colour are left unpainted.
    QImage picture = m_backgroundImage.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = picture.pixel(0, picture.height() - 1) | 0xFF000000u;
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if ((line[x] | 0xFF000000u) == transparent)
                line[x] = 0;
        }
    }

    QPixmap canvas(size);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        switch (m_drawMethod) {
        case TPopUpNotifier::dmActualSize:
            painter.drawImage(0, 0, picture);
            break;
        case TPopUpNotifier::dmTile:
            for (int x = 0; x < size.width(); x += picture.width()) {
                for (int y = 0; y < size.height(); y += picture.height())
                    painter.drawImage(x, y, picture);
            }
            break;
        case TPopUpNotifier::dmFit:
            painter.drawImage(QRect(QPoint(0, 0), size), picture);
            break;
        }
    }
    imgGradient->setPixmap(canvas);
}

QImage TfrmPopUpToast::GradientImage(const QSize &size) const
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width();
    const int h = size.height();
    if (m_gradientOrientation == TPopUpNotifier::mbVertical) {
        for (int y = 0; y < h; ++y) {
            const QRgb color = PopUpLayout::blendColor(m_gradientColor1, m_gradientColor2, y, h).rgb();
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            std::fill(line, line + w, color);
        }
    } else {
        QList<QRgb> columns(w);
        for (int x = 0; x < w; ++x)
            columns[x] = PopUpLayout::blendColor(m_gradientColor1, m_gradientColor2, x, w).rgb();
        for (int y = 0; y < h; ++y)
            std::copy(columns.cbegin(), columns.cend(), reinterpret_cast<QRgb *>(image.scanLine(y)));
    }
    return image;
}

QColor TfrmPopUpToast::textColor() const
{
    return m_font.color.isValid() ? m_font.color : palette().color(QPalette::WindowText);
}

// Below the title, the longest run of background rows on which the body text reads: a long text
// must neither run over the title nor end in the deep red of the picture's foot.
void TfrmPopUpToast::findTextArea()
{
    const QRect picture = imgGradient->geometry();
    const int titleBottom = lblTitle->geometry().bottom() + 1;
    m_textArea = QRect(0, titleBottom, pnlBorder->width(), pnlBorder->height() - titleBottom - BevelWidth);
    const QPixmap painted = imgGradient->pixmap();
    if (painted.isNull())
        return;
    const TextContrast::Rows rows =
        TextContrast::readableRows(painted.toImage(), textColor(), titleBottom - picture.top());
    if (rows.height() > 0)
        m_textArea = QRect(0, picture.top() + rows.top, pnlBorder->width(), rows.height());
}

// The text is shown in the toast's font, centred in the toast and kept within the text area;
// a text too long for it gets a smaller font, down to SmallestTextPixelSize, and is then cut
// with "…", the whole text showing as the toast's tooltip.
void TfrmPopUpToast::LayoutText(const PopUpFont &font)
{
    applyFont(lblText, font);
    const QString shown = displayText(m_text);
    // The label wraps within the panel width less 15 and then shrinks to the text it holds.
    const int wrapWidth = qMax(1, pnlBorder->width() - 15);
    const int flags = Qt::TextWordWrap | (m_textAlignment & Qt::AlignHorizontal_Mask);
    const auto needed = [&](const QFont &face, const QString &text) {
        return QFontMetrics(face).boundingRect(QRect(0, 0, wrapWidth, 0x3FFFFFFF), flags, text);
    };

    QFont fitted = font.font;
    QRect size = needed(fitted, shown);
    while (size.height() > m_textArea.height() && pixelSizeOf(fitted) > SmallestTextPixelSize) {
        fitted.setPixelSize(pixelSizeOf(fitted) - 1);
        size = needed(fitted, shown);
    }
    QString text = shown;
    // Cut to as many lines as the area holds (the metrics' line spacing is an estimate).
    for (int lines = m_textArea.height() / QFontMetrics(fitted).lineSpacing() + 1;
         size.height() > m_textArea.height() && lines > 1;) {
        text = cutToLines(shown, fitted, wrapWidth, --lines);
        size = needed(fitted, text);
    }
    lblText->setFont(fitted);
    lblText->setText(text);
    setToolTip(text == shown ? QString() : OutsideText::forToolTip(m_text, ToolTipCharacters));
    lblText->resize(size.size());

    // Centred in the whole toast, then moved only as far as the text area asks.
    QPoint at = PopUpLayout::centred(pnlBorder->size(), lblText->size());
    const int lowest = m_textArea.top() + m_textArea.height() - lblText->height();
    at.setY(std::max(m_textArea.top(), std::min(at.y(), lowest)));
    lblText->move(at);
}

void TfrmPopUpToast::tmrScrollTimer()
{
    const PopUpLayout::Step step =
        PopUpLayout::slideIn(m_taskbarEdge, m_geometry, QSize(m_width, m_height), m_scrollSpeed,
                             DesktopWorkArea::workArea(), m_margins, m_startOffset);
    applyGeometry(step.geometry);
    if (step.finished) {
        tmrScroll->stop();
        if (!m_staysUntilClicked)
            tmrExit->start();
    }
}

void TfrmPopUpToast::tmrExitTimer()
{
    tmrExit->stop();
    tmrScrollDown->start();
}

void TfrmPopUpToast::tmrscrollDownTimer()
{
    const PopUpLayout::Step step = PopUpLayout::slideOut(m_taskbarEdge, m_geometry, m_scrollSpeed);
    if (step.finished) {
        close();
        return;
    }
    applyGeometry(step.geometry);
}

bool TfrmPopUpToast::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (watched == imgGradient) {
            imgGradientMouseUp(button);
            return true;
        }
        if (watched == lblText) {
            lblTextMouseUp(button);
            return true;
        }
        if (watched == lblTitle) {
            lblTitleMouseUp(button);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmPopUpToast::imgGradientMouseUp(Qt::MouseButton)
{
    Click();
}

// The text covers most of the toast: a click on it does what a click anywhere else does.
void TfrmPopUpToast::lblTextMouseUp(Qt::MouseButton)
{
    Click();
}

void TfrmPopUpToast::lblTitleMouseUp(Qt::MouseButton)
{
    Click();
}

void TfrmPopUpToast::Click()
{
    if (m_closed)
        return;
    QPointer<TfrmPopUpToast> self(this);
    if (m_notifier && m_notifier->hasClickHandler()) {
        // A close request from inside the handler (ClosePopUps) must only hide this toast: it is
        // still on the call stack.
        m_freeOnClose = false;
        emit m_notifier->OnClick(m_notifier);
        if (!self)
            return;
        m_freeOnClose = true;
    }
    close();
    // A close request during the handler hid the toast, and Qt sends no further close event to
    // a window it has already closed: free it here.
    if (self && !m_closed)
        Free();
}

void TfrmPopUpToast::closeEvent(QCloseEvent *event)
{
    DoClose(event);
}

void TfrmPopUpToast::DoClose(QCloseEvent *event)
{
    // Accepting the event hides the window in either case.
    event->accept();
    if (m_freeOnClose)
        Free();
}

void TfrmPopUpToast::Free()
{
    if (m_closed)
        return;
    m_closed = true;
    hide();
    tmrExit->stop();
    tmrScroll->stop();
    tmrScrollDown->stop();
    releaseCount();
    deleteLater();
}

void TfrmPopUpToast::releaseCount()
{
    if (!m_counted)
        return;
    m_counted = false;
    if (m_notifier)
        m_notifier->placeFreed(m_startOffset);
}
