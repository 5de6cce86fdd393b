#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// Runs an action on the first modal window that matches, from inside the modal loop that
// shows it. A window that does not come within the bound is a failure, not a hang: the
// watch then rejects whatever modal window is up, so that the code under test returns.
//
//     ModalWindowWait wait;
//     wait.whenModal<TFrmLogin>([](TFrmLogin *login) { ... });
//     startUp.run();
//     QVERIFY(wait.ran());
class ModalWindowWait : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultBoundMs = 10000;

    explicit ModalWindowWait(QObject *parent = nullptr);

    template <typename Window>
    void whenModal(std::function<void(Window *)> action, int boundMs = DefaultBoundMs)
    {
        watch([](QWidget *w) { return qobject_cast<Window *>(w) != nullptr; },
              [action = std::move(action)](QWidget *w) { action(qobject_cast<Window *>(w)); }, boundMs);
    }

    bool ran() const { return m_ran; }
    bool timedOut() const { return m_timedOut; }
    void cancel();

private:
    void watch(std::function<bool(QWidget *)> matches, std::function<void(QWidget *)> action, int boundMs);
    void poll();

    QTimer m_poll;
    QTimer m_bound;
    std::function<bool(QWidget *)> m_matches;
    std::function<void(QWidget *)> m_action;
    bool m_ran = false;
    bool m_timedOut = false;
};
