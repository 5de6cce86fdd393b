#include "LoginElsewhereCheck.h"

#include "DefaultErrorReport.h"
#include "ServiceClient.h"
#include "ServicePool.h"

#include <QtConcurrent/QtConcurrentRun>

#include <exception>

LoginElsewhereCheck::LoginElsewhereCheck(QObject *parent) : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<Answer>::finished, this, &LoginElsewhereCheck::apply);
}

LoginElsewhereCheck::~LoginElsewhereCheck()
{
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

void LoginElsewhereCheck::start(const QString &userId, const QString &loginStamp)
{
    if (m_watcher.isRunning())
        return;
    m_loginStamp = loginStamp;
    m_watcher.setFuture(QtConcurrent::run(&ServicePool::threads(), [userId] {
        Answer answer;
        try {
            answer.loginTime = ServiceClient::GetWebServiceSoap()->hqdlsj(userId);
        } catch (const std::exception &error) {
            answer.error = QString::fromUtf8(error.what());
        }
        return answer;
    }));
}

void LoginElsewhereCheck::apply()
{
    const Answer answer = m_watcher.result();
    if (!answer.loginTime) {
        emit applied();
        if (m_reportOpen)
            return;
        m_reportOpen = true;
        DefaultErrorReport::show(answer.error);
        m_reportOpen = false;
        return;
    }
    if (*answer.loginTime == m_loginStamp)
        emit applied();
    else
        emit signedInElsewhere();
}
