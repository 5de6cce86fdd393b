#include "MessageBoxRecorder.h"

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = MessageBoxes::setHandler([this](const MessageBoxes::Request &request) {
        m_requests.append(request);
        if (m_onShow)
            m_onShow(request);
        return m_answers.isEmpty() ? MessageBoxes::Answer::Ok : m_answers.takeFirst();
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    MessageBoxes::setHandler(std::move(m_previous));
}
