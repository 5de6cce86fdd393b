// Calls from several threads at once against the real service: the user-interface thread and
// two workers, as the poll tick's fetch and the login-elsewhere check overlap with a page the
// user opens. Each thread keeps its own connection; none may fail or get another's answer.

#include "HttpTransport.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

constexpr int RunMs = 3000;

struct CallTally
{
    int calls = 0;
    int failures = 0;
    QString firstFailure;
};

} // namespace

class tst_HttpTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void concurrentCallsFromThreeThreads();

private:
    std::unique_ptr<ServiceFixture> m_service;
};

void tst_HttpTransport::initTestCase()
{
    m_service = std::make_unique<ServiceFixture>();
    QVERIFY2(m_service->isRunning(), qPrintable(m_service->errorString()));
}

void tst_HttpTransport::concurrentCallsFromThreeThreads()
{
    const QString endpoint = m_service->endpoint();
    // Each thread calls an operation of its own, so an answer that reached the wrong thread
    // would show as a wrong text.
    const QString counters = ServiceClient::GetWebServiceSoap(endpoint)->ifchangetable(2);
    const QString loginTime = ServiceClient::GetWebServiceSoap(endpoint)->hqdlsj(QStringLiteral("1"));
    const int userCount = ServiceClient::GetWebServiceSoap(endpoint)->hqsfczjl(
        QStringLiteral("select * from UserTable where (StrComp(username,'demo',0)=0) "));
    QVERIFY(!counters.isEmpty());
    QCOMPARE(userCount, 1);

    std::atomic<bool> stop{false};
    const auto callUntilStopped = [&stop](CallTally &tally, const std::function<bool()> &call) {
        while (!stop) {
            try {
                if (!call() && tally.failures++ == 0)
                    tally.firstFailure = QStringLiteral("unexpected answer");
            } catch (const std::exception &error) {
                if (tally.failures++ == 0)
                    tally.firstFailure = QString::fromUtf8(error.what());
            }
            ++tally.calls;
        }
    };
    CallTally tickWorker, checkWorker, userInterface;
    std::thread tick([&] {
        callUntilStopped(tickWorker, [&] {
            return ServiceClient::GetWebServiceSoap(endpoint)->ifchangetable(2) == counters;
        });
    });
    std::thread check([&] {
        callUntilStopped(checkWorker, [&] {
            return ServiceClient::GetWebServiceSoap(endpoint)->hqdlsj(QStringLiteral("1")) == loginTime;
        });
    });
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(RunMs)); // the length of the run itself
        stop = true;
    });
    callUntilStopped(userInterface, [&] {
        return ServiceClient::GetWebServiceSoap(endpoint)->hqsfczjl(QStringLiteral(
                   "select * from UserTable where (StrComp(username,'demo',0)=0) ")) == userCount;
    });
    stopper.join();
    tick.join();
    check.join();

    for (const CallTally *tally : {&tickWorker, &checkWorker, &userInterface}) {
        QVERIFY2(tally->failures == 0, qPrintable(tally->firstFailure));
        QVERIFY2(tally->calls > 10, qPrintable(QString::number(tally->calls)));
    }
}

QTEST_GUILESS_MAIN(tst_HttpTransport)
#include "tst_HttpTransport.moc"
