#pragma once

#include "PopUpFont.h"
#include "PopUpLayout.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;
class TfrmPopUpToast;

// The toast notifier: a non-visual component placed on a host window. Each ShowPopUp makes one
// toast window (TfrmPopUpToast) from the current property values; the toast slides out of the
// taskbar's side of the work area, waits, slides back and frees itself. Toasts stack while
// several are open, each in the lowest free place; when no place is free a toast waits for
// one, and beyond MaxWaiting the waiting ones are told as one "还有 N 条新预警" toast. The host
// window owns the toasts, so any still open go with it.
class TPopUpNotifier : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(int TimeOut READ TimeOut WRITE setTimeOut)
    Q_PROPERTY(int Width READ Width WRITE setWidth)
    Q_PROPERTY(int Height READ Height WRITE setHeight)
    Q_PROPERTY(QColor GradientColor1 READ GradientColor1 WRITE setGradientColor1)
    Q_PROPERTY(QColor GradientColor2 READ GradientColor2 WRITE setGradientColor2)
    Q_PROPERTY(TOrientation GradientOrientation READ GradientOrientation WRITE setGradientOrientation)
    Q_PROPERTY(int ScrollSpeed READ ScrollSpeed WRITE setScrollSpeed)
    Q_PROPERTY(QString Title READ Title WRITE setTitle)
    Q_PROPERTY(TPopUpOptions Options READ Options WRITE setOptions)
    Q_PROPERTY(Qt::Alignment TextAlignment READ TextAlignment WRITE setTextAlignment)
    Q_PROPERTY(TImageDrawMethod BackgroundDrawMethod READ BackgroundDrawMethod WRITE setBackgroundDrawMethod)
    Q_PROPERTY(Qt::CursorShape TextCursor READ TextCursor WRITE setTextCursor)
    Q_PROPERTY(int PopupMarge READ PopupMarge WRITE setPopupMarge)
    Q_PROPERTY(int PopupStartX READ PopupStartX WRITE setPopupStartX)
    Q_PROPERTY(int PopupStartY READ PopupStartY WRITE setPopupStartY)
    Q_PROPERTY(TDefaultMonitor DefaultMonitor READ DefaultMonitor WRITE setDefaultMonitor)
    Q_PROPERTY(QImage BackgroundImage READ BackgroundImage WRITE setBackgroundImage)

public:
    // Direction in which the gradient colour changes: left to right, or top to bottom.
    enum TOrientation { mbHorizontal, mbVertical };
    Q_ENUM(TOrientation)

    enum TPopUpOption {
        poSystemFont = 0x1,    // carries no behaviour
        poCascadePopups = 0x2, // stack toasts instead of placing each at the base position
        poAllowScroll = 0x4,   // slide toasts in (they always slide out)
    };
    Q_DECLARE_FLAGS(TPopUpOptions, TPopUpOption)
    Q_FLAG(TPopUpOptions)

    enum TImageDrawMethod {
        dmActualSize, // once, at its own size, at the top-left corner
        dmTile,       // repeated over the picture area
        dmFit,        // stretched to the picture area
    };
    Q_ENUM(TImageDrawMethod)

    // Monitor-placement setting handed to each toast. Toasts are always placed on the primary
    // screen's work area, which is what dmDesktop means for a window positioned by its owner.
    enum TDefaultMonitor { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };
    Q_ENUM(TDefaultMonitor)

    static constexpr int MinScrollSpeed = 1;
    static constexpr int MaxScrollSpeed = 50;

    explicit TPopUpNotifier(QWidget *owner = nullptr);
    ~TPopUpNotifier() override;

    QString Text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    int TimeOut() const { return m_timeOut; }
    void setTimeOut(int seconds) { m_timeOut = seconds; }
    // Beyond the component's design: a toast that stays at full size until it is clicked (or
    // closed by ClosePopUps) instead of sliding away after TimeOut.
    bool staysUntilClicked() const { return m_staysUntilClicked; }
    void setStaysUntilClicked(bool stays) { m_staysUntilClicked = stays; }
    int Width() const { return m_width; }
    void setWidth(int width) { m_width = width; }
    int Height() const { return m_height; }
    void setHeight(int height) { m_height = height; }
    QColor GradientColor1() const { return m_gradientColor1; }
    void setGradientColor1(const QColor &color) { m_gradientColor1 = color; }
    QColor GradientColor2() const { return m_gradientColor2; }
    void setGradientColor2(const QColor &color) { m_gradientColor2 = color; }
    TOrientation GradientOrientation() const { return m_gradientOrientation; }
    void setGradientOrientation(TOrientation orientation) { m_gradientOrientation = orientation; }
    int ScrollSpeed() const { return m_scrollSpeed; }
    // Kept within 1 to 50: a speed of 0 would never finish a slide, a negative one would run it
    // backwards.
    void setScrollSpeed(int pixelsPerTick);
    const PopUpFont &Font() const { return m_font; }
    void setFont(const PopUpFont &font) { m_font = font; }
    const PopUpFont &HoverFont() const { return m_hoverFont; }
    void setHoverFont(const PopUpFont &font) { m_hoverFont = font; }
    QString Title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    const PopUpFont &TitleFont() const { return m_titleFont; }
    void setTitleFont(const PopUpFont &font) { m_titleFont = font; }
    TPopUpOptions Options() const { return m_options; }
    void setOptions(TPopUpOptions options) { m_options = options; }
    Qt::Alignment TextAlignment() const { return m_textAlignment; }
    // Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter.
    void setTextAlignment(Qt::Alignment alignment);
    TImageDrawMethod BackgroundDrawMethod() const { return m_backgroundDrawMethod; }
    void setBackgroundDrawMethod(TImageDrawMethod method) { m_backgroundDrawMethod = method; }
    Qt::CursorShape TextCursor() const { return m_textCursor; }
    void setTextCursor(Qt::CursorShape cursor) { m_textCursor = cursor; }
    int PopupMarge() const { return m_margins.marge; }
    void setPopupMarge(int pixels) { m_margins.marge = pixels; }
    int PopupStartX() const { return m_margins.startX; }
    void setPopupStartX(int pixels) { m_margins.startX = pixels; }
    int PopupStartY() const { return m_margins.startY; }
    void setPopupStartY(int pixels) { m_margins.startY = pixels; }
    TDefaultMonitor DefaultMonitor() const { return m_defaultMonitor; }
    void setDefaultMonitor(TDefaultMonitor monitor) { m_defaultMonitor = monitor; }
    // While empty, toasts paint the gradient instead.
    QImage BackgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(const QImage &image) { m_backgroundImage = image; }

    // Toasts that wait for a place one by one; more are counted into one merged toast.
    static constexpr int MaxWaiting = 10;

    // Shows one toast with the current property values; false when the stack has no room for
    // another toast: the toast then waits for a place (with the text it was asked with).
    bool ShowPopUp();

    // Toasts waiting for a place, and alerts counted into the merged toast.
    int WaitingCount() const { return int(m_waiting.size()); }
    int MergedCount() const { return m_merged; }
    // The merged toast's text for n alerts.
    static QString mergedText(int n);

    // Closes every toast of the process that is still open, whichever notifier made it. Safe to
    // call from inside OnClick: the clicked toast is only hidden until its click has been handled.
    void ClosePopUps();

    // Stack bookkeeping, read-only from outside.
    int PopupCount() const { return m_layout.popupCount(); }
    int CascadeOffset() const { return m_layout.cascadeOffset(); }
    int LastTaskbarEdge() const { return m_layout.lastTaskbarEdge(); }

    // The taskbar edge of the desktop right now (PopUpLayout::Edge codes).
    static int GetTaskbarEdge();

signals:
    // A toast was clicked; sender is this component. Raised before the toast closes.
    void OnClick(QObject *sender);
    // A toast window was made with this text (at once, or once a place came free).
    void popUpShown(const QString &text);

private:
    friend class TfrmPopUpToast;

    bool hasClickHandler() const;
    bool showNow();
    // A toast placed with this start offset has gone: a waiting one may take its place.
    void placeFreed(int startOffset);
    void showWaiting();

    QString m_text = QStringLiteral("text");
    int m_timeOut = 10;
    bool m_staysUntilClicked = false;
    int m_width = 200;
    int m_height = 100;
    QColor m_gradientColor1 = QColor(153, 204, 255);
    QColor m_gradientColor2 = QColor(Qt::white);
    TOrientation m_gradientOrientation = mbVertical;
    int m_scrollSpeed = 9;
    PopUpFont m_font;
    PopUpFont m_hoverFont;
    QString m_title = QStringLiteral("title");
    PopUpFont m_titleFont;
    TPopUpOptions m_options = TPopUpOptions(poCascadePopups | poAllowScroll);
    Qt::Alignment m_textAlignment = Qt::AlignHCenter;
    TImageDrawMethod m_backgroundDrawMethod = dmActualSize;
    Qt::CursorShape m_textCursor = Qt::ArrowCursor;
    PopUpLayout::Margins m_margins;
    TDefaultMonitor m_defaultMonitor = dmDesktop;
    QImage m_backgroundImage;

    PopUpLayout m_layout;
    QStringList m_waiting;
    int m_merged = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TPopUpNotifier::TPopUpOptions)
