// The login-elsewhere check on its own, against the real service: the account's login time
// compared with the one this login recorded, and a failing call reported once at a time.
#include "ClientServiceFixture.h"
#include "ClosedHost.h"
#include "LoginElsewhereCheck.h"
#include "LoginWindowSignIn.h"
#include "ServiceHostOverride.h"
#include "UnitGlouble.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {
constexpr int Bound = 15000; // ms for anything that waits for the service
}

class tst_LoginElsewhereCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void answer_data();
    void answer();
    void failureIsReportedOnceAtATime();

private:
    std::unique_ptr<ClientServiceFixture> m_client;
};

void tst_LoginElsewhereCheck::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_LoginElsewhereCheck::init()
{
    UnitGlouble = GlobalState{};
    m_client = std::make_unique<ClientServiceFixture>();
    QVERIFY2(m_client->isReady(), qPrintable(m_client->errorString()));
    QVERIFY(signInThroughLoginWindow(QStringLiteral("demo"), QStringLiteral("demo")));
    QVERIFY(!UnitGlouble.LoginStamp.isEmpty());
}

void tst_LoginElsewhereCheck::cleanup()
{
    m_client.reset();
}

void tst_LoginElsewhereCheck::answer_data()
{
    QTest::addColumn<bool>("ownStamp");
    QTest::newRow("still this login") << true;
    QTest::newRow("a later login elsewhere") << false;
}

void tst_LoginElsewhereCheck::answer()
{
    QFETCH(bool, ownStamp);
    LoginElsewhereCheck check;
    QSignalSpy applied(&check, &LoginElsewhereCheck::applied);
    QSignalSpy elsewhere(&check, &LoginElsewhereCheck::signedInElsewhere);
    check.start(UnitGlouble.UserId,
                ownStamp ? UnitGlouble.LoginStamp : QStringLiteral("2000-01-01 00:00:00"));
    // The answer may come before a look at isRunning() would: only the outcome is checked.
    QTRY_VERIFY_WITH_TIMEOUT(applied.count() + elsewhere.count() == 1, Bound);
    QCOMPARE(applied.count(), ownStamp ? 1 : 0);
    QCOMPARE(elsewhere.count(), ownStamp ? 0 : 1);
    QCOMPARE(m_client->boxes().count(), 0);
}

// While one report is open, further failures do not stack another; once it is closed, the next
// failure may show one again. A check started while one runs is not started twice.
void tst_LoginElsewhereCheck::failureIsReportedOnceAtATime()
{
    const ServiceHostOverride closedHost(ClosedHost);
    LoginElsewhereCheck check;
    QSignalSpy applied(&check, &LoginElsewhereCheck::applied);
    int checksWhileOpen = 0;
    m_client->boxes().onShow([&](const MessageBoxes::Request &) {
        const int before = applied.count();
        check.start(UnitGlouble.UserId, UnitGlouble.LoginStamp);
        check.start(UnitGlouble.UserId, UnitGlouble.LoginStamp); // still running: no second call
        QTRY_VERIFY_WITH_TIMEOUT(applied.count() > before, Bound);
        ++checksWhileOpen;
    });
    check.start(UnitGlouble.UserId, UnitGlouble.LoginStamp);
    QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 2, Bound);
    QCOMPARE(checksWhileOpen, 1);
    QCOMPARE(m_client->boxes().count(), 1);
    QCOMPARE(m_client->boxes().last().icon, MessageBoxes::Icon::Error);
    QVERIFY2(m_client->boxes().last().text.contains(QStringLiteral("127.0.0.1")),
             qPrintable(m_client->boxes().last().text));
    m_client->boxes().onShow(nullptr);

    check.start(UnitGlouble.UserId, UnitGlouble.LoginStamp);
    QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 3, Bound);
    QCOMPARE(m_client->boxes().count(), 2);
    QCOMPARE(applied.count(), 3); // the second start inside the box made no call of its own
}

QTEST_MAIN(tst_LoginElsewhereCheck)
#include "tst_LoginElsewhereCheck.moc"
