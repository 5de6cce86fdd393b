// The login-elsewhere check on its own, against the real service: the account's login time
// compared with the one this login recorded, and a failing call reported once at a time.
#include "ClientServiceFixture.h"
#include "ClosedHost.h"
#include "LoginElsewhereCheck.h"
#include "LoginWindowSignIn.h"
#include "OpenMessageBox.h"
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
    void outageIsToldOnceUntilTheServiceAnswers();

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
    QVERIFY(!UnitGlouble.SystemName.isEmpty());
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
    // The answer is applied from the event loop, never inside start() (it may be in already).
    QCOMPARE(applied.count() + elsewhere.count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(applied.count() + elsewhere.count() == 1, Bound);
    QCOMPARE(applied.count(), ownStamp ? 1 : 0);
    QCOMPARE(elsewhere.count(), ownStamp ? 0 : 1);
    QCOMPARE(m_client->boxes().count(), 0);
}

// An outage is told once, in Chinese with the technical words behind the details button; the
// checks go on meanwhile, and the box goes as soon as the service answers again. A later outage
// is told again. A check started while one runs is not started twice.
void tst_LoginElsewhereCheck::outageIsToldOnceUntilTheServiceAnswers()
{
    LoginElsewhereCheck check;
    QSignalSpy applied(&check, &LoginElsewhereCheck::applied);
    const auto checkOnce = [&] {
        const int before = applied.count();
        check.start(UnitGlouble.UserId, UnitGlouble.LoginStamp);
        check.start(UnitGlouble.UserId, UnitGlouble.LoginStamp); // still running: no second call
        return QTest::qWaitFor([&] { return applied.count() == before + 1; }, Bound) &&
               applied.count() == before + 1;
    };
    for (int outage = 1; outage <= 2; ++outage) {
        {
            const ServiceHostOverride closedHost(ClosedHost);
            for (int failing = 0; failing < 3; ++failing)
                QVERIFY(checkOnce());
            QCOMPARE(m_client->boxes().count(), outage);
            QCOMPARE(MessageBoxes::openBoxes().size(), 1);
        }
        const MessageBoxes::Request &box = m_client->boxes().last();
        QVERIFY2(box.text.startsWith(QStringLiteral("无法连接到服务器 127.0.0.1")), qPrintable(box.text));
        QVERIFY2(!box.text.contains(QStringLiteral("URL")), qPrintable(box.text));
        QVERIFY2(box.details.contains(QStringLiteral("SOAPAction")), qPrintable(box.details));
        QCOMPARE(box.caption, UnitGlouble.SystemName); // the application title
        QCOMPARE(box.icon, MessageBoxes::Icon::Error);

        // The service answers again: the box goes by itself.
        QVERIFY(checkOnce());
        QVERIFY(MessageBoxes::openBoxes().isEmpty());
        QCOMPARE(m_client->boxes().count(), outage);
    }
}

QTEST_MAIN(tst_LoginElsewhereCheck)
#include "tst_LoginElsewhereCheck.moc"
