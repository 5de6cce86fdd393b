#pragma once

#include "MessageBoxes.h"

#include <QList>

// Stands in for the real message boxes while it exists: records every request and answers
// with the queued answers in turn, then OK. Restores the previous handler when destroyed.
class MessageBoxRecorder
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    void queueAnswer(MessageBoxes::Answer answer) { m_answers.append(answer); }
    // Runs while a box is "open" (e.g. to look at the windows that exist at that moment).
    void onShow(std::function<void(const MessageBoxes::Request &)> callback)
    {
        m_onShow = std::move(callback);
    }

    const QList<MessageBoxes::Request> &requests() const { return m_requests; }
    int count() const { return m_requests.size(); }
    const MessageBoxes::Request &last() const { return m_requests.last(); }
    void clear() { m_requests.clear(); }

private:
    MessageBoxes::Handler m_previous;
    QList<MessageBoxes::Request> m_requests;
    QList<MessageBoxes::Answer> m_answers;
    std::function<void(const MessageBoxes::Request &)> m_onShow;
};
