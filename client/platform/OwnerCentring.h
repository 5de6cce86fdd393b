#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Keeps a box centred over its owner window until the box is first painted. QDialog centres a
// dialog by the size it has before showing, and QMessageBox only takes its real size as it
// shows: without this the box would stand off the owner's centre. Once on screen the box stays
// where the user may have moved it. The object is a child of the box and goes with it.
class OwnerCentring : public QObject
{
    Q_OBJECT

public:
    OwnerCentring(QWidget *box, QWidget *owner);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void centre();

    QWidget *m_box;
    QPointer<QWidget> m_owner;
};
