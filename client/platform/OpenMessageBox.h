#pragma once

#include "MessageBoxes.h"

#include <QObject>
#include <QPointer>

class QMessageBox;

// A message box the program does not wait for (MessageBoxes::openWithoutWaiting): it stays up
// while the program goes on, until the user answers it or the program takes it down because
// what it says no longer holds. It deletes itself once closed; hold it in a QPointer.
class OpenMessageBox : public QObject
{
    Q_OBJECT

public:
    const MessageBoxes::Request &request() const { return m_request; }
    // Takes the box down as its OK button would.
    void close();
    bool isClosed() const { return m_closed; }

signals:
    void closed();

private:
    friend class MessageBoxes;
    OpenMessageBox(MessageBoxes::Request request, QMessageBox *box);

    MessageBoxes::Request m_request;
    QPointer<QMessageBox> m_box; // none while a test's handler stands in for the dialogs
    bool m_closed = false;
};
