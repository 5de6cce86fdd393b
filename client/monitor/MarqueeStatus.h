#pragma once

#include <QPixmap>
#include <QString>
#include <QTimer>
#include <QWidget>

// The scrolling and blinking status line: the text travels from right to left by one pixel
// per step and starts again at the right edge once it has travelled its own width plus the
// pane's; every blink period it switches between its normal look and its blink look.
class MarqueeStatus : public QWidget
{
    Q_OBJECT

public:
    static constexpr int StepMs = 100;
    static constexpr int BlinkMs = 5000;

    explicit MarqueeStatus(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    // Where the text starts, relative to the pane's left edge.
    int textOffset() const { return m_offset; }
    bool isBlinkLook() const { return m_blinkLook; }

    // One scroll step and one blink switch, as the timers run them.
    void step();
    void blink();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRect textArea() const;
    QColor background() const;
    void renderText();

    QString m_text;
    QPixmap m_rendered;
    int m_textWidth = 0;
    int m_offset = 0;
    int m_travelled = 0;
    bool m_blinkLook = false;
    QTimer m_step;
    QTimer m_blink;
};
