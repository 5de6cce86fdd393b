#pragma once

#include <QLabel>

// A text link painted over artwork: white, bold and underlined, red while the mouse is over
// it, hand cursor. A click emits clicked(); when a target address is set the click also hands
// it to the desktop.
class URLLabel : public QLabel
{
    Q_OBJECT

public:
    explicit URLLabel(const QString &text, QWidget *parent = nullptr);

    QString url() const { return m_url; }
    void setUrl(const QString &url) { m_url = url; }

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setHot(bool hot);

    QString m_url;
};
