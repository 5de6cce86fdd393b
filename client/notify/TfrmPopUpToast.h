#pragma once

#include "PopUpFont.h"
#include "PopUpLayout.h"
#include "TPopUpNotifier.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QFrame;
class QLabel;
class QTimer;

// One toast: a frameless window that stays on top, never takes the focus and has no taskbar
// entry. It copies the notifier's settings when it is made, slides in over the taskbar edge,
// waits for the time-out, slides out and frees itself. Its content keeps its full size anchored
// at the window's top-left corner; the animation only moves and resizes the window, whose bounds
// clip the content.
class TfrmPopUpToast : public QWidget
{
    Q_OBJECT

public:
    // The toast belongs to owner (the notifier's host window), so that the host frees any toast
    // still open when it goes.
    TfrmPopUpToast(TPopUpNotifier *notifier, QWidget *owner);
    ~TfrmPopUpToast() override;

    // Places, paints and shows the toast, and starts its animation.
    void PopUp();

    int TaskbarEdge() const { return m_taskbarEdge; }
    int StartOffset() const { return m_startOffset; }
    bool FreeOnClose() const { return m_freeOnClose; }
    // Closed for good: freed as soon as control returns to the event loop.
    bool isClosed() const { return m_closed; }
    // Where the body text may go, in the panel's coordinates: below the title, on the part of
    // the background where the text's colour reads.
    QRect textArea() const { return m_textArea; }
    // The smallest font the body text is shrunk to before it is cut.
    static constexpr int SmallestTextPixelSize = 9;

    // The form's controls, in the order they are created (later ones lie on top).
    QFrame *pnlBorder = nullptr;
    QLabel *imgGradient = nullptr;
    QLabel *lblText = nullptr;
    QLabel *lblTitle = nullptr;
    QTimer *tmrExit = nullptr;
    QTimer *tmrScroll = nullptr;
    QTimer *tmrScrollDown = nullptr;

public slots:
    void tmrExitTimer();
    void tmrScrollTimer();
    void tmrscrollDownTimer();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void imgGradientMouseUp(Qt::MouseButton button);
    void lblTextMouseUp(Qt::MouseButton button);
    void lblTitleMouseUp(Qt::MouseButton button);
    void Click();
    void DoClose(QCloseEvent *event);
    // Leaves the stack and frees the window once control is back in the event loop.
    void Free();
    void PaintBackground();
    QImage GradientImage(const QSize &size) const;
    void LayoutText(const PopUpFont &font);
    void findTextArea();
    QColor textColor() const;
    void applyGeometry(const QRect &geometry);
    void releaseCount();

    QPointer<TPopUpNotifier> m_notifier;

    // Copies taken when the toast is made.
    int m_width;
    int m_height;
    QString m_text;
    QString m_title;
    int m_timeOut;
    bool m_allowScroll;
    int m_scrollSpeed;
    bool m_cascade;
    QColor m_gradientColor1;
    QColor m_gradientColor2;
    TPopUpNotifier::TOrientation m_gradientOrientation;
    Qt::Alignment m_textAlignment;
    bool m_staysUntilClicked;
    Qt::CursorShape m_textCursor;
    TPopUpNotifier::TImageDrawMethod m_drawMethod;
    TPopUpNotifier::TDefaultMonitor m_defaultMonitor;
    QImage m_backgroundImage;
    PopUpFont m_font;
    PopUpFont m_hoverFont;
    PopUpFont m_titleFont;
    PopUpLayout::Margins m_margins;

    int m_taskbarEdge = PopUpLayout::EdgeUndetermined;
    int m_startOffset = -1; // none until placed
    bool m_freeOnClose = true;
    bool m_closed = false;
    bool m_counted = true; // still counted in the notifier's PopupCount
    QRect m_geometry;      // the window's geometry as the animation set it last
    QRect m_textArea;
};
