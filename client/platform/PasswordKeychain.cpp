#include "PasswordKeychain.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <qt6keychain/keychain.h>

namespace {

const QString SecretService = QStringLiteral("org.freedesktop.secrets");

template <typename Job> Job *startJob(const QString &userName)
{
    auto *job = new Job(PasswordKeychain::serviceName());
    job->setAutoDelete(true);
    // Never a clear-text file of QtKeychain's own: without a keychain the caller decides.
    job->setInsecureFallback(false);
    job->setKey(userName);
    return job;
}

void reportTo(QKeychain::Job *job, const PasswordKeychain::Done &done)
{
    QObject::connect(job, &QKeychain::Job::finished, job, [done](QKeychain::Job *finished) {
        if (done)
            done(finished->error() == QKeychain::NoError, finished->errorString());
    });
}

} // namespace

bool PasswordKeychain::isAvailable()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    if (bus.interface()->isServiceRegistered(SecretService))
        return true;
    const QDBusReply<QStringList> activatable = bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(SecretService);
}

QString PasswordKeychain::serviceName()
{
    return QCoreApplication::applicationName() + QStringLiteral(" password");
}

void PasswordKeychain::read(const QString &userName, ReadDone done)
{
    auto *job = startJob<QKeychain::ReadPasswordJob>(userName);
    QObject::connect(job, &QKeychain::Job::finished, job, [done](QKeychain::Job *finished) {
        const auto *reader = static_cast<QKeychain::ReadPasswordJob *>(finished);
        if (reader->error() == QKeychain::NoError)
            done(reader->textData());
        else
            done(std::nullopt);
    });
    job->start();
}

void PasswordKeychain::write(const QString &userName, const QString &password, Done done)
{
    auto *job = startJob<QKeychain::WritePasswordJob>(userName);
    job->setTextData(password);
    reportTo(job, done);
    job->start();
}

void PasswordKeychain::remove(const QString &userName, Done done)
{
    auto *job = startJob<QKeychain::DeletePasswordJob>(userName);
    reportTo(job, done);
    job->start();
}
