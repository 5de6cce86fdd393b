#pragma once

#include "ScriptDialogThrottle.h"

#include <QElapsedTimer>
#include <QWebEnginePage>

class QWidget;

// The web view's page with the client's own script dialogs. The engine asks for them with calls
// that return the answer; the view's own dialogs wait for it in an event loop of their own,
// modal to the whole application and titled with the page's address (the insider page's
// carries the password), so a page that called alert() in a loop held every window of the
// client. Here nothing waits: a dialog is a window beside the client's windows, titled without
// an address, and the call returns at once. An alert needs no answer. confirm() and prompt() are
// answered as cancelled and say so: a real answer would need an event loop inside the call, in
// which the main window's timers and clicks run, and one of those may delete this very page.
// After a few dialogs in a row the page's dialogs are dropped (ScriptDialogThrottle).
class ScriptDialogPage : public QWebEnginePage
{
    Q_OBJECT

public:
    // The page and its dialogs belong to `view` and go with it.
    explicit ScriptDialogPage(QWidget *view);

    static constexpr const char *DialogObjectName = "ScriptDialog";

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &message, const QString &defaultValue,
                          QString *result) override;

private:
    void showDialog(const QString &message, bool answeredAsCancelled);

    QWidget *m_view;
    ScriptDialogThrottle m_throttle;
    QElapsedTimer m_clock;
    int m_openDialogs = 0;
};
