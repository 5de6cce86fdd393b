#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class OpenMessageBox;

// Whether the account is still signed in here: asks the service for the account's login time
// on a worker thread (a slow service must not freeze the window) and compares it with the one
// this login recorded. A failure is the default error report, once per outage: a service that
// stays unreachable would otherwise bring a box every check. The box does not hold the checks
// up, and goes by itself as soon as the service answers again.
class LoginElsewhereCheck : public QObject
{
    Q_OBJECT

public:
    explicit LoginElsewhereCheck(QObject *parent = nullptr);
    // Waits for a call still running; its answer is dropped.
    ~LoginElsewhereCheck() override;

    // Starts one check, unless one is still waiting for the service.
    void start(const QString &userId, const QString &loginStamp);
    bool isRunning() const { return m_watcher.isRunning(); }

signals:
    // The answer matched, or the failure was handled (before its report is shown).
    void applied();
    // The service knows a later login of the account, or none at all.
    void signedInElsewhere();

private:
    struct Answer
    {
        std::optional<QString> loginTime;
        QString error;
    };
    void apply();

    void reportOutage(const QString &error);
    void endOutage();

    QString m_loginStamp;
    bool m_outageReported = false; // since the last answer
    QPointer<OpenMessageBox> m_outageBox;
    QFutureWatcher<Answer> m_watcher;
};
