#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Drives a wait for the service (UserWait) from inside its local event loop, where a test's own
// code cannot run: after `probeAfterMs` it runs the probe (a repaint, a click) and notes how late
// it came and how long it took; then it waits for the "正在连接服务器…" window and clicks its
// 取消. Should no such window come within five seconds it ends the wait itself, so that a failing
// test never hangs.
class UserWaitDriver : public QObject
{
public:
    explicit UserWaitDriver(std::function<void()> probe = {}, int probeAfterMs = 300);

    qint64 probeLateMs = -1;
    qint64 probeTookMs = -1;
    qint64 indicationAfterMs = -1; // since the driver was made
    bool cancelled = false;

private:
    void runProbe();
    void lookForIndication();

    std::function<void()> m_probe;
    int m_probeAfterMs;
    QElapsedTimer m_clock;
    QTimer m_poll;
};
