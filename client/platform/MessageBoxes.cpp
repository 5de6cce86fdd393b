#include "MessageBoxes.h"

#include "OutsideText.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace {

MessageBoxes::Handler &installedHandler()
{
    static MessageBoxes::Handler handler;
    return handler;
}

MessageBoxes::Answer showDialog(const MessageBoxes::Request &request)
{
    QMessageBox box(request.owner);
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setWindowTitle(request.caption);
    switch (request.icon) {
    case MessageBoxes::Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageBoxes::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageBoxes::Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (request.buttons == MessageBoxes::Buttons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (!request.owner)
        box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Ok ? MessageBoxes::Answer::Ok : MessageBoxes::Answer::Cancel;
}

} // namespace

MessageBoxes::Answer MessageBoxes::system(const QString &text, const QString &caption, Icon icon,
                                          Buttons buttons)
{
    return show({Kind::System, nullptr, text, caption, icon, buttons});
}

MessageBoxes::Answer MessageBoxes::application(const QString &text, const QString &caption, Icon icon,
                                               Buttons buttons, QWidget *owner)
{
    if (!owner)
        owner = QApplication::activeWindow();
    return show({Kind::Application, owner, text, caption, icon, buttons});
}

MessageBoxes::Handler MessageBoxes::setHandler(Handler handler)
{
    Handler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

MessageBoxes::Answer MessageBoxes::show(Request request)
{
    request.text = OutsideText::forMessageBox(request.text);
    if (const Handler &handler = installedHandler())
        return handler(request);
    return showDialog(request);
}
