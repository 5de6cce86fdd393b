#include "ScriptDialogPage.h"

#include "OutsideText.h"

#include <QMessageBox>

ScriptDialogPage::ScriptDialogPage(QWidget *view) : QWebEnginePage(view), m_view(view)
{
    m_clock.start();
}

void ScriptDialogPage::javaScriptAlert(const QUrl &, const QString &message)
{
    showDialog(message, false);
}

bool ScriptDialogPage::javaScriptConfirm(const QUrl &, const QString &message)
{
    showDialog(message, true);
    return false;
}

bool ScriptDialogPage::javaScriptPrompt(const QUrl &, const QString &message, const QString &, QString *)
{
    showDialog(message, true);
    return false;
}

void ScriptDialogPage::showDialog(const QString &message, bool answeredAsCancelled)
{
    if (!m_throttle.admit(m_clock.elapsed(), m_openDialogs > 0))
        return;
    // Owned by the view, so that a page the user leaves takes its dialogs along.
    auto *box = new QMessageBox(m_view);
    box->setObjectName(QLatin1String(DialogObjectName));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // A message box is modal unless told otherwise; this one must leave every window usable.
    box->setWindowModality(Qt::NonModal);
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("网页消息"));
    box->setTextFormat(Qt::PlainText);
    box->setText(OutsideText::forMessageBox(message));
    if (answeredAsCancelled)
        box->setInformativeText(QStringLiteral("网页的询问已按“取消”回答。"));
    box->setStandardButtons(QMessageBox::Ok);
    ++m_openDialogs;
    connect(box, &QObject::destroyed, this, [this] { --m_openDialogs; });
    box->show();
}
