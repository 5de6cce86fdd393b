#include "UserWait.h"

#include "BusyCursor.h"

#include <QDialog>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <memory>

namespace {

// The waits under way, innermost last.
QList<QEventLoop *> &openWaits()
{
    static QList<QEventLoop *> waits;
    return waits;
}

// Not modal: the windows behind it keep taking clicks; it only offers the way out.
class WaitIndication : public QDialog
{
public:
    explicit WaitIndication(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint)
    {
        setObjectName(QStringLiteral("UserWaitIndication"));
        setWindowTitle(QStringLiteral("正在连接服务器…"));
        setModal(false);
        auto *label = new QLabel(QStringLiteral("正在连接服务器…"), this);
        label->setTextFormat(Qt::PlainText);
        cancelButton = new QPushButton(QStringLiteral("取消"), this);
        auto *layout = new QHBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(cancelButton);
    }
    QPushButton *cancelButton;
};

// What the work's thread hands back; shared, so that a wait that ended first leaves it behind
// safely.
struct Outcome
{
    std::atomic<bool> cancelled{false};
    QString error;
    bool failed = false;
};

} // namespace

UserWait::Cancelled::Cancelled() : std::runtime_error("连接服务器已取消") {}

bool UserWait::isWaiting()
{
    return !openWaits().isEmpty();
}

void UserWait::cancelAll()
{
    for (QEventLoop *loop : openWaits())
        loop->exit(1);
}

void UserWait::runWork(QWidget *owner, QThreadPool &threads, const CancellableRun &runCancellable,
                       const std::function<void()> &work)
{
    const BusyCursor busy;
    auto outcome = std::make_shared<Outcome>();
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, [&loop] { loop.exit(0); });
    watcher.setFuture(QtConcurrent::run(&threads, [outcome, work, runCancellable] {
        if (outcome->cancelled)
            return;
        try {
            runCancellable(work, outcome->cancelled);
        } catch (const std::exception &error) {
            outcome->error = QString::fromUtf8(error.what());
            outcome->failed = true;
        }
    }));

    QPointer<WaitIndication> indication;
    QTimer indicationDelay;
    indicationDelay.setSingleShot(true);
    QObject::connect(&indicationDelay, &QTimer::timeout, &loop, [&] {
        indication = new WaitIndication(owner && owner->isVisible() ? owner : nullptr);
        QObject::connect(indication->cancelButton, &QPushButton::clicked, &loop, [&loop] { loop.exit(1); });
        QObject::connect(indication, &QDialog::rejected, &loop, [&loop] { loop.exit(1); });
        indication->show();
    });
    // Before any window is on screen (start-up), the indication is the window that appears.
    indicationDelay.start(!owner || owner->isVisible() ? IndicationDelayMs : StartUpIndicationDelayMs);

    openWaits().append(&loop);
    const int exitCode = watcher.isFinished() ? 0 : loop.exec();
    openWaits().removeOne(&loop);
    delete indication; // at once: the wait is over, nothing of it stays on screen

    if (exitCode != 0) {
        // The work refers to the caller's frame, so the wait returns only once it has ended:
        // it notices the flag soon (a service call's transfer within about a second), and the
        // windows go on answering meanwhile.
        outcome->cancelled = true;
        if (!watcher.isFinished())
            loop.exec();
        throw Cancelled();
    }
    if (outcome->failed)
        throw std::runtime_error(outcome->error.toStdString());
}
