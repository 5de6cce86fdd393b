#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message box of the client goes through here, so that tests can answer and record
// them instead of blocking on a real dialog. Texts are shown as plain text, never as rich
// text, and cut to a size that fits the screen (OutsideText::forMessageBox): they often come from the service.
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
    };

    using Handler = std::function<Answer(const Request &)>;

    static Answer system(const QString &text, const QString &caption, Icon icon = Icon::None,
                         Buttons buttons = Buttons::Ok);
    // A null owner means the active window (if any).
    static Answer application(const QString &text, const QString &caption, Icon icon = Icon::None,
                              Buttons buttons = Buttons::Ok, QWidget *owner = nullptr);

    // Replaces the real dialogs; an empty handler restores them. Returns the previous handler.
    static Handler setHandler(Handler handler);

private:
    static Answer show(Request request);
};
