#include "ModalWindowWait.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

ModalWindowWait::ModalWindowWait(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(10);
    m_bound.setSingleShot(true);
    connect(&m_poll, &QTimer::timeout, this, &ModalWindowWait::poll);
    connect(&m_bound, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        cancel();
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
        else if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
}

void ModalWindowWait::watch(std::function<bool(QWidget *)> matches, std::function<void(QWidget *)> action,
                            int boundMs)
{
    m_matches = std::move(matches);
    m_action = std::move(action);
    m_ran = false;
    m_timedOut = false;
    m_poll.start();
    m_bound.start(boundMs);
}

void ModalWindowWait::cancel()
{
    m_poll.stop();
    m_bound.stop();
    m_matches = nullptr;
    m_action = nullptr;
}

void ModalWindowWait::poll()
{
    QWidget *const modal = QApplication::activeModalWidget();
    if (!modal || !m_matches || !m_matches(modal))
        return;
    auto action = std::move(m_action);
    cancel();
    m_ran = true;
    action(modal);
}
