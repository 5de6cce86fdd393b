#pragma once

#include <QList>
#include <QString>

#include <functional>

class OpenMessageBox;
class QWidget;

// Every message box of the client goes through here, so that tests can answer and record
// them instead of blocking on a real dialog. Texts are shown as plain text, never as rich
// text, and cut to a size that fits the screen (OutsideText::forMessageBox): they often come from the
// service.
//
// Two kinds are used side by side: a system box has no owner window; an application box is
// owned by the window the caller names, or else by the active window.
class MessageBoxes
{
public:
    enum class Kind { System, Application };
    enum class Icon { None, Information, Error };
    enum class Buttons { Ok, OkCancel };
    enum class Answer { Ok, Cancel };

    struct Request
    {
        Kind kind = Kind::Application;
        QWidget *owner = nullptr; // resolved owner; always null for a system box
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        // Shown behind the box's details button, never in the box itself (technical words).
        QString details;
    };

    using Handler = std::function<Answer(const Request &)>;

    static Answer system(const QString &text, const QString &caption, Icon icon = Icon::None,
                         Buttons buttons = Buttons::Ok);
    // A null owner means the active window (if any).
    static Answer application(const QString &text, const QString &caption, Icon icon = Icon::None,
                              Buttons buttons = Buttons::Ok, QWidget *owner = nullptr,
                              const QString &details = QString());

    // An application box with OK that the caller does not wait for: the program goes on while
    // it is up, and may take it down (OpenMessageBox::close). With a test's handler installed
    // the handler records it as any box and it stays open until closed.
    static OpenMessageBox *openWithoutWaiting(Request request);
    // The boxes opened that way and not closed yet, oldest first.
    static QList<OpenMessageBox *> openBoxes();

    // Replaces the real dialogs; an empty handler restores them. Returns the previous handler.
    static Handler setHandler(Handler handler);

    // The window an application box belongs to when the caller names none: the active window,
    // else the program's main window (the largest visible ordinary window), so that a box that
    // comes while the user works elsewhere still shows over the program and not in the middle
    // of the screen.
    static QWidget *defaultOwner();

private:
    static Answer show(Request request);
};
