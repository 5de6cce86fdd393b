#include "OpenMessageBox.h"

#include <QMessageBox>

OpenMessageBox::OpenMessageBox(MessageBoxes::Request request, QMessageBox *box)
    : m_request(std::move(request)), m_box(box)
{
    if (m_box)
        connect(m_box, &QDialog::finished, this, &OpenMessageBox::close);
}

void OpenMessageBox::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_box)
        m_box->close();
    emit closed();
    deleteLater();
}
