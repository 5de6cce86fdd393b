#include "MessageBoxes.h"

#include "OpenMessageBox.h"
#include "OutsideText.h"
#include "OwnerCentring.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace {

MessageBoxes::Handler &installedHandler()
{
    static MessageBoxes::Handler handler;
    return handler;
}

QList<QPointer<OpenMessageBox>> &openedBoxes()
{
    static QList<QPointer<OpenMessageBox>> boxes;
    return boxes;
}

// Details may be a whole log line or an answer's text: bounded like any text from outside.
constexpr qsizetype DetailsLimit = 4000;

void setUp(QMessageBox &box, const MessageBoxes::Request &request)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setWindowTitle(request.caption);
    if (!request.details.isEmpty())
        box.setDetailedText(OutsideText::cut(request.details, DetailsLimit));
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
    else
        new OwnerCentring(&box, request.owner);
}

MessageBoxes::Answer showDialog(const MessageBoxes::Request &request)
{
    QMessageBox box(request.owner);
    setUp(box, request);
    return box.exec() == QMessageBox::Ok ? MessageBoxes::Answer::Ok : MessageBoxes::Answer::Cancel;
}

} // namespace

MessageBoxes::Answer MessageBoxes::system(const QString &text, const QString &caption, Icon icon,
                                          Buttons buttons)
{
    return show({Kind::System, nullptr, text, caption, icon, buttons});
}

MessageBoxes::Answer MessageBoxes::application(const QString &text, const QString &caption, Icon icon,
                                               Buttons buttons, QWidget *owner, const QString &details)
{
    if (!owner)
        owner = defaultOwner();
    return show({Kind::Application, owner, text, caption, icon, buttons, details});
}

QWidget *MessageBoxes::defaultOwner()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    QWidget *largest = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (!window->isVisible() || (type != Qt::Window && type != Qt::Dialog))
            continue;
        if (!largest || window->width() * window->height() > largest->width() * largest->height())
            largest = window;
    }
    return largest;
}

OpenMessageBox *MessageBoxes::openWithoutWaiting(Request request)
{
    request.kind = Kind::Application;
    if (!request.owner)
        request.owner = defaultOwner();
    request.text = OutsideText::forMessageBox(request.text);
    QMessageBox *box = nullptr;
    if (const Handler &handler = installedHandler()) {
        handler(request);
    } else {
        box = new QMessageBox(request.owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        setUp(*box, request);
        if (request.owner)
            box->setWindowModality(Qt::WindowModal);
        box->show();
    }
    auto *opened = new OpenMessageBox(std::move(request), box);
    openedBoxes().append(opened);
    return opened;
}

QList<OpenMessageBox *> MessageBoxes::openBoxes()
{
    QList<OpenMessageBox *> open;
    for (const QPointer<OpenMessageBox> &box : openedBoxes()) {
        if (box && !box->isClosed())
            open.append(box);
    }
    openedBoxes().removeIf([](const QPointer<OpenMessageBox> &box) { return !box || box->isClosed(); });
    return open;
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
