#include "LoginElsewhereCheck.h"

#include "DefaultErrorReport.h"
#include "OpenMessageBox.h"
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
    if (m_outageBox)
        m_outageBox->close();
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
        reportOutage(answer.error);
        return;
    }
    endOutage();
    if (*answer.loginTime == m_loginStamp)
        emit applied();
    else
        emit signedInElsewhere();
}

void LoginElsewhereCheck::reportOutage(const QString &error)
{
    if (m_outageReported)
        return;
    m_outageReported = true;
    m_outageBox = MessageBoxes::openWithoutWaiting(DefaultErrorReport::requestFor(error));
}

// What the box said no longer holds: it goes, and a later outage is told again.
void LoginElsewhereCheck::endOutage()
{
    m_outageReported = false;
    if (m_outageBox)
        m_outageBox->close();
}
