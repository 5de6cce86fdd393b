#include "UserWaitDriver.h"

#include "UserWait.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWidget>

UserWaitDriver::UserWaitDriver(std::function<void()> probe, int probeAfterMs)
    : m_probe(std::move(probe)), m_probeAfterMs(probeAfterMs)
{
    m_clock.start();
    if (m_probe)
        QTimer::singleShot(m_probeAfterMs, this, &UserWaitDriver::runProbe);
    connect(&m_poll, &QTimer::timeout, this, &UserWaitDriver::lookForIndication);
    m_poll.start(20);
}

void UserWaitDriver::runProbe()
{
    probeLateMs = m_clock.elapsed() - m_probeAfterMs;
    const qint64 started = m_clock.elapsed();
    m_probe();
    probeTookMs = m_clock.elapsed() - started;
}

void UserWaitDriver::lookForIndication()
{
    // The probe goes first: the indication is only cancelled once it has run.
    if (m_probe && probeTookMs < 0)
        return;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() != QLatin1String("UserWaitIndication") || !window->isVisible())
            continue;
        auto *cancel = window->findChild<QPushButton *>();
        if (!cancel)
            continue;
        indicationAfterMs = m_clock.elapsed();
        m_poll.stop();
        cancelled = true;
        QTest::mouseClick(cancel, Qt::LeftButton);
        return;
    }
    if (m_clock.elapsed() > 5000) {
        m_poll.stop();
        UserWait::cancelAll();
    }
}
