// The running service, over loopback, through the client's own ServiceClient and
// ResultDocument: every operation, every statement the client sends, and the guarantees
// the client relies on (counters, login stamps, quoting).
#include "ChangeCounters.h"
#include "ClientStatements.h"
#include "ResultDocument.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"

#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// The statements, composed by the client's own builder.
QString onlineCount(const QString &id)
{
    return ClientStatements::onlineRecordCount(id);
}
QString onlineUpdate(const QString &id, const QString &name, const QString &pass, const QString &until,
                     const QString &ip)
{
    return ClientStatements::onlineRecordUpdate({id, name, pass, until, ip});
}
QString onlineInsert(const QString &id, const QString &name, const QString &pass, const QString &until,
                     const QString &ip)
{
    return ClientStatements::onlineRecordInsert({id, name, pass, until, ip});
}
QString accountCount(const QString &name)
{
    return ClientStatements::userNameCount(name);
}
QString applicationCount(const QString &name)
{
    return ClientStatements::applicationNameCount(name);
}
QString applicationInsert(const QString &name, const QString &pass, const QString &qq)
{
    return ClientStatements::signUpApplication(name, pass, qq);
}
// An empty level: tiering off.
ClientStatements::Audience audience(const QString &level)
{
    return {!level.isEmpty(), level};
}
QString todaysAlerts(const QString &level)
{
    return ClientStatements::todayAlerts(audience(level));
}
QString latestAlerts(const QString &level)
{
    return ClientStatements::latestAlerts(audience(level));
}
QString todaysNews(const QString &level)
{
    return ClientStatements::todayNews(audience(level));
}
// From midnight at the start of `from` up to midnight at the start of `to` (yyyy-MM-dd), as the
// texts between the # marks read.
QString history(const QString &level, const QString &from, const QString &to)
{
    const QString format = QStringLiteral("yyyy-MM-dd");
    return ClientStatements::alertHistory(audience(level), QDate::fromString(from, format),
                                          QDate::fromString(to, format).addDays(-1));
}

QString day(int offset)
{
    return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

class tst_WebService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void arithmetic_data();
    void arithmetic();
    void yanzheng_data();
    void yanzheng();
    void configuration();
    void accountRow();
    void accountRowRefusedForWrongPassword();
    void statementShapes_data();
    void statementShapes();
    void nearMissesRefused_data();
    void nearMissesRefused();
    void listsFollowLevelAndDay();
    void historyRangeIncludesBothEnds();
    void loginRecordAndStamp();
    void apostropheStoredAndMatchedAsTyped();
    void injectionAttemptChangesNothing();
    void passwordChange();
    void accountWritesNeedTheSignedInClient();
    void passwordProofLastsTwoMinutes();
    void textLimits_data();
    void textLimits();
    void signUpStoresNoClearPassword();
    void countersRaisedByPublishAndRevise();
    void countersFollowTiering();
    void newestTitleIsOneItem_data();
    void newestTitleIsOneItem();
    void endedSubscriptionIsServedAsPublic();
    void holdingEndsAWeekAfterTheSignIn_data();
    void holdingEndsAWeekAfterTheSignIn();
    void countersKeptOnlyForReadableLevels();
    void paidCountersFollowTheHolder_data();
    void paidCountersFollowTheHolder();

private:
    std::unique_ptr<WebServiceSoap> proxy() const
    {
        return ServiceClient::GetWebServiceSoap(service->endpoint());
    }
    QStringList counters(int level) const
    {
        return ChangeCounters::splitDelimitedText(proxy()->ifchangetable(level));
    }
    // The answer once it shows what a command just wrote. On PostgreSQL the service answers
    // from memory, which the database's notification brings up to date a moment after the
    // command's commit; on SQLite the first answer shows it.
    QStringList countersWhen(int level, const std::function<bool(const QStringList &)> &shows) const
    {
        QStringList answer = counters(level);
        QDeadlineTimer deadline(10000);
        while (!shows(answer) && !deadline.hasExpired()) {
            QTest::qWait(20);
            answer = counters(level);
        }
        return answer;
    }
    // Values of one field over the rows of a result document.
    QStringList column(const QString &answer, const QString &field) const
    {
        ResultDocument document;
        document.load(answer);
        QStringList values;
        for (int row = 0; row < document.rowCount(); ++row)
            values << document.fieldText(row, field);
        return values;
    }
    // The fault text of a call, or empty when it succeeded.
    template <typename Call> QString faultOf(Call call) const
    {
        try {
            call();
        } catch (const std::runtime_error &error) {
            return QString::fromUtf8(error.what());
        }
        return {};
    }

    // demo (id 1) signs in as the client does: password check, then the online record.
    // Signs in as the client does: the password proved, the online record written.
    void signIn(const QString &id = "1", const QString &name = "demo") const
    {
        QCOMPARE(proxy()->yanzheng(name, name), QStringLiteral("true"));
        QCOMPARE(proxy()->zhixing(onlineInsert(id, name, name, "2099-12-31", "127.0.0.1")),
                 QStringLiteral("true"));
    }

    std::unique_ptr<ServiceFixture> service;
};

void tst_WebService::init()
{
    service = std::make_unique<ServiceFixture>();
    QVERIFY2(service->isRunning(), qPrintable(service->errorString()));
}

void tst_WebService::cleanup()
{
    service.reset();
}

void tst_WebService::arithmetic_data()
{
    QTest::addColumn<double>("i");
    QTest::addColumn<double>("j");
    QTest::newRow("integers") << 2.0 << 3.0;
    QTest::newRow("fractions") << 0.1 << 0.2;
    QTest::newRow("negative and large") << -1.5e300 << 2.25;
}

void tst_WebService::arithmetic()
{
    QFETCH(double, i);
    QFETCH(double, j);
    QCOMPARE(proxy()->addition(i, j), i + j);
    QCOMPARE(proxy()->jian(i, j), i - j);
}

void tst_WebService::yanzheng_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    QTest::newRow("right") << "demo"
                           << "demo"
                           << "true";
    QTest::newRow("wrong password") << "demo"
                                    << "vip"
                                    << "false";
    QTest::newRow("password in other case") << "demo"
                                            << "DEMO"
                                            << "false";
    QTest::newRow("name in other case") << "Demo"
                                        << "demo"
                                        << "false";
    QTest::newRow("unknown user") << "nobody"
                                  << "demo"
                                  << "false";
    QTest::newRow("empty") << ""
                           << ""
                           << "false";
}

void tst_WebService::yanzheng()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QCOMPARE(proxy()->yanzheng(username, password), expected);
}

void tst_WebService::configuration()
{
    ResultDocument document;
    document.load(proxy()->hqSys_pz());
    QCOMPARE(document.rowCount(), 1);
    QCOMPARE(document.fieldText(0, "gpsysname"), QStringLiteral("智能股票预警系统"));
    QCOMPARE(document.fieldText(0, "yhqyhyfj"), QStringLiteral("true"));
    QCOMPARE(document.fieldText(0, "ifctzqd"), QStringLiteral("false"));
    QCOMPARE(document.fieldText(0, "khdsxsj"), QStringLiteral("5"));
    QCOMPARE(document.fieldText(0, "hqurl"), service->host() + "/pages/news.html");
    QVERIFY(!document.fieldText(0, "sytsxx").trimmed().isEmpty());

    // An operator's change shows at once: the configuration is read per call.
    QVERIFY(service->execSql("UPDATE Sys_pz SET khdsxsj=7, yhqyhyfj=FALSE"));
    document.load(proxy()->hqSys_pz());
    QCOMPARE(document.fieldText(0, "khdsxsj"), QStringLiteral("7"));
    QCOMPARE(document.fieldText(0, "yhqyhyfj"), QStringLiteral("false"));

    QVERIFY(service->execSql("DELETE FROM Sys_pz"));
    document.load(proxy()->hqSys_pz());
    QCOMPARE(document.rowCount(), 0);

    // The page table, with this service's own pages as absolute addresses.
    document.load(proxy()->hqsametable(ClientStatements::pageAddresses()));
    QCOMPARE(document.rowCount(), 1);
    QCOMPARE(document.fieldText(0, "yjglmc"), QStringLiteral("预警管理"));
    QCOMPARE(document.fieldText(0, "yjbgurl"), service->host() + "/pages/research.html");
}

void tst_WebService::accountRow()
{
    ResultDocument document;
    document.load(proxy()->hqdlyhxx("demo", "demo"));
    QCOMPARE(document.rowCount(), 1);
    QCOMPARE(document.fieldText(0, "id"), QStringLiteral("1"));
    QCOMPARE(document.fieldText(0, "username"), QStringLiteral("demo"));
    QCOMPARE(document.fieldText(0, "userpas"), QStringLiteral("demo"));
    QCOMPARE(document.fieldText(0, "UserDJ"), QStringLiteral("2"));
    // XML Schema date-time with the zone offset; the client cuts the date.
    QVERIFY2(QRegularExpression("^2099-12-31T00:00:00[+-]\\d\\d:\\d\\d$")
                 .match(document.fieldText(0, "reachtime"))
                 .hasMatch(),
             qPrintable(document.fieldText(0, "reachtime")));
}

void tst_WebService::accountRowRefusedForWrongPassword()
{
    ResultDocument document;
    document.load(proxy()->hqdlyhxx("demo", "wrong"));
    QCOMPARE(document.rowCount(), 0);
    // The stored password is never handed out, hashed or not.
    QVERIFY(!service->querySql("SELECT userpas FROM UserTable WHERE username='demo'")
                 .value(0)
                 .value(0)
                 .contains("demo"));
}

void tst_WebService::statementShapes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected"); // answer, or for hqsametable the ids in order
    // "proved": demo's password checked; "signed in": and recorded (demo, level 2; "signed in
    // vip": level 1); "tiering off": the configuration lists everything to everybody
    QTest::addColumn<QString>("before");

    QTest::newRow("pages") << "hqsametable" << ClientStatements::pageAddresses() << "1"
                           << "";
    QTest::newRow("online count") << "hqsfczjl" << onlineCount("1") << "0"
                                  << "";
    QTest::newRow("online insert") << "zhixing"
                                   << onlineInsert("1", "demo", "demo", "2099-12-31", "127.0.0.1") << "true"
                                   << "proved";
    QTest::newRow("online update, no record yet")
        << "zhixing" << onlineUpdate("1", "demo", "demo", "2099-12-31", "127.0.0.1") << "false"
        << "proved";
    QTest::newRow("online update") << "zhixing"
                                   << onlineUpdate("1", "demo", "demo", "2099-12-31", "127.0.0.1") << "true"
                                   << "signed in";
    // The shape without a login time, which earlier clients send.
    QTest::newRow("online delete, no record") << "zhixing"
                                              << "delete from userdl where userid=1"
                                              << "true"
                                              << "";
    QTest::newRow("online delete") << "zhixing"
                                   << "delete from userdl where userid=1"
                                   << "true"
                                   << "signed in";
    QTest::newRow("online delete of a sign-in, no record")
        << "zhixing" << ClientStatements::onlineRecordDelete("1", "2011-06-10 09:31:05.1234567") << "true"
        << "";
    QTest::newRow("password change") << "zhixing" << ClientStatements::passwordChange("1", "neu") << "true"
                                     << "signed in";
    QTest::newRow("account count") << "hqsfczjl" << accountCount("vip") << "1"
                                   << "";
    QTest::newRow("application count") << "hqsfczjl" << applicationCount("vip") << "0"
                                       << "";
    QTest::newRow("application insert") << "zhixing" << applicationInsert("neu", "pw", "12345") << "true"
                                        << "";
    QTest::newRow("application insert, other blanks and case")
        << "zhixing"
        << "INSERT  INTO NewUser ( usetrname , zcmm , zhucetime , shouji )\r\nVALUES ( 'neu2' , 'pw' , "
           "DATE ( ) , '' ) "
        << "true"
        << "";
    // Paid levels only to the address that holds a signed-in account of that level; with
    // tiering on, the untiered forms show the public level.
    QTest::newRow("today's alerts, tiered") << "hqsametable" << todaysAlerts("2") << "6,5"
                                            << "signed in";
    QTest::newRow("today's alerts, tiered, not signed in") << "hqsametable" << todaysAlerts("2") << "5"
                                                           << "";
    QTest::newRow("today's alerts, tiered, signed in at another level")
        << "hqsametable" << todaysAlerts("1") << "5"
        << "signed in";
    QTest::newRow("today's alerts") << "hqsametable" << todaysAlerts("") << "7,6,5"
                                    << "tiering off";
    QTest::newRow("today's alerts, untiered while tiering is on") << "hqsametable" << todaysAlerts("") << "5"
                                                                  << "signed in vip";
    QTest::newRow("latest alerts, tiered") << "hqsametable" << latestAlerts("1") << "7,5,4,3,1"
                                           << "signed in vip";
    QTest::newRow("latest alerts, tiered, not signed in") << "hqsametable" << latestAlerts("1") << "5,4,1"
                                                          << "";
    QTest::newRow("latest alerts") << "hqsametable" << latestAlerts("") << "7,6,5,4,3,2,1"
                                   << "tiering off";
    QTest::newRow("latest alerts, untiered while tiering is on")
        << "hqsametable" << latestAlerts("") << "5,4,1"
        << "";
    QTest::newRow("today's news, tiered") << "hqsametable" << todaysNews("1") << "2"
                                          << "signed in vip";
    QTest::newRow("today's news, tiered, level 2") << "hqsametable" << todaysNews("2") << "3,2"
                                                   << "signed in";
    QTest::newRow("today's news") << "hqsametable" << todaysNews("") << "3,2"
                                  << "tiering off";
    QTest::newRow("history, tiered") << "hqsametable" << history("2", day(-2), day(0)) << "4,2"
                                     << "signed in";
    QTest::newRow("history, tiered, not signed in") << "hqsametable" << history("2", day(-2), day(0)) << "4"
                                                    << "";
    QTest::newRow("history") << "hqsametable" << history("", day(-3), day(0)) << "4,3,2,1"
                             << "tiering off";
    QTest::newRow("history, untiered while tiering is on")
        << "hqsametable" << history("", day(-3), day(0)) << "4,1"
        << "";
    QTest::newRow("history, day before yesterday") << "hqsametable" << history("", day(-2), day(-1)) << "2"
                                                   << "tiering off";
}

void tst_WebService::statementShapes()
{
    QFETCH(QString, operation);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QFETCH(QString, before);
    if (before == "proved")
        QCOMPARE(proxy()->yanzheng("demo", "demo"), QStringLiteral("true"));
    if (before == "signed in")
        signIn();
    if (before == "signed in vip")
        signIn("2", "vip");
    if (before == "tiering off")
        QVERIFY(service->execSql("UPDATE Sys_pz SET yhqyhyfj=FALSE"));
    if (operation == "zhixing")
        QCOMPARE(proxy()->zhixing(sql), expected);
    else if (operation == "hqsfczjl")
        QCOMPARE(QString::number(proxy()->hqsfczjl(sql)), expected);
    else
        QCOMPARE(column(proxy()->hqsametable(sql), "id").join(','), expected);
}

void tst_WebService::nearMissesRefused_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("sql");

    QTest::newRow("lost leading blank") << "hqsfczjl"
                                        << "select * from userdl where userid=1";
    QTest::newRow("one blank instead of two")
        << "hqsametable"
        << "select * from Tuijiangupiao where datediff(\"d\",nowtime,Date())=0 "
           "order by id desc ";
    QTest::newRow("final blank missing") << "hqsametable"
                                         << "select top 30 * from Tuijiangupiao order by id desc";
    QTest::newRow("other letter case") << "hqsametable"
                                       << "SELECT * FROM Sys_url";
    QTest::newRow("level not an integer")
        << "hqsametable"
        << "select top 30 * from Tuijiangupiao where (XinXiDJ=2 or 1=1 or XinXiDJ=3)  order by id "
           "desc ";
    // The client never builds this date; a text that carries one is refused.
    QTest::newRow("not a real date") << "hqsametable"
                                     << "select * from Tuijiangupiao where  nowtime>=#2024-02-30# and "
                                        "nowtime<=#2024-03-01#    order by id desc ";
    QTest::newRow("unterminated quote") << "hqsfczjl"
                                        << "select * from UserTable where (StrComp(username,'demo,0)=0) ";
    QTest::newRow("right shape, wrong operation") << "zhixing"
                                                  << "select * from Sys_url";
    QTest::newRow("account table read") << "hqsametable" << accountCount("demo");
    QTest::newRow("online table read") << "hqsametable" << onlineCount("1");
    QTest::newRow("second statement appended") << "zhixing"
                                               << "delete from userdl where userid=1; delete from "
                                                  "UserTable";
    QTest::newRow("sign-up insert into another table")
        << "zhixing"
        << "insert into UserTable(usetrname,zcmm,zhucetime,shouji) values('x','y',date(),'z')";
    QTest::newRow("sign-up insert, glued keywords")
        << "zhixing"
        << "insertinto NewUser(usetrname,zcmm,zhucetime,shouji) values('x','y',date(),'z')";
    QTest::newRow("arbitrary SQL") << "zhixing"
                                   << "drop table UserTable";
    QTest::newRow("empty") << "hqsametable"
                           << "";
}

void tst_WebService::nearMissesRefused()
{
    QFETCH(QString, operation);
    QFETCH(QString, sql);
    auto before =
        service->querySql("SELECT (SELECT count(*) FROM UserTable), (SELECT count(*) FROM userdl), "
                          "(SELECT count(*) FROM NewUser), (SELECT group_concat(userpas) FROM UserTable)");
    QString fault = faultOf([&] {
        if (operation == "zhixing")
            proxy()->zhixing(sql);
        else if (operation == "hqsfczjl")
            proxy()->hqsfczjl(sql);
        else
            proxy()->hqsametable(sql);
    });
    QCOMPARE(fault, QStringLiteral("Server was unable to process request. ---> The statement is not one this "
                                   "service runs."));
    QCOMPARE(
        service->querySql("SELECT (SELECT count(*) FROM UserTable), (SELECT count(*) FROM userdl), "
                          "(SELECT count(*) FROM NewUser), (SELECT group_concat(userpas) FROM UserTable)"),
        before);
}

void tst_WebService::listsFollowLevelAndDay()
{
    // An item published now is today's; one dated yesterday 23:59:59 is not, one dated
    // today 00:00:00 is.
    QCOMPARE(service->runCommand({"publish", "stock", "--code", "600000", "--name", "浦发银行", "--op",
                                  "买入", "--reason", "测试", "--level", "2"}),
             0);
    QCOMPARE(service->runCommand({"publish", "stock", "--code", "1", "--name", "a", "--op", "b", "--reason",
                                  "c", "--time", day(-1) + " 23:59:59.9999999"}),
             0);
    QCOMPARE(service->runCommand({"publish", "stock", "--code", "2", "--name", "a", "--op", "b", "--reason",
                                  "c", "--time", day(0) + " 00:00:00"}),
             0);
    signIn();
    const QString answer = proxy()->hqsametable(todaysAlerts("2"));
    QCOMPARE(column(answer, "id").join(','), QStringLiteral("10,8,6,5"));
    QCOMPARE(column(answer, "gupiaodaima").value(1), QStringLiteral("600000"));
    QCOMPARE(column(answer, "jg").value(1), QStringLiteral("浦发银行"));
    // The time of an item published now carries a fraction and the zone offset.
    QVERIFY2(QRegularExpression("^" + day(0) + "T\\d\\d:\\d\\d:\\d\\d(\\.\\d{1,7})?[+-]\\d\\d:\\d\\d$")
                 .match(column(answer, "nowtime").value(1))
                 .hasMatch(),
             qPrintable(column(answer, "nowtime").value(1)));
    QCOMPARE(column(answer, "nowtime").value(0).left(19), day(0) + "T00:00:00");
}

void tst_WebService::historyRangeIncludesBothEnds()
{
    // From the midnight that starts the first day up to and including the midnight that
    // ends the last one (the client passes the day after).
    QVERIFY(service->execSql("DELETE FROM Tuijiangupiao"));
    const QStringList times = {"2024-03-09 23:59:59.9999999", "2024-03-10 00:00:00", "2024-03-10 12:00:00",
                               "2024-03-11 00:00:00", "2024-03-11 00:00:00.0000001"};
    for (const QString &time : times)
        QCOMPARE(service->runCommand({"publish", "stock", "--code", time.left(16), "--name", "n", "--op", "o",
                                      "--reason", "r", "--time", time}),
                 0);
    QCOMPARE(column(proxy()->hqsametable(history("", "2024-03-10", "2024-03-11")), "gupiaodaima"),
             QStringList({"2024-03-11 00:00", "2024-03-10 12:00", "2024-03-10 00:00"}));
    QCOMPARE(proxy()->hqsametable(history("", "2024-03-11", "2024-03-10")), QStringLiteral("<NewDataSet />"));
}

void tst_WebService::loginRecordAndStamp()
{
    // The login's sequence: count, insert (first login) or update (later ones), stamp.
    auto login = [&] {
        auto p = proxy();
        p->yanzheng("demo", "demo");
        if (p->hqsfczjl(onlineCount("1")) > 0)
            p->zhixing(onlineUpdate("1", "demo", "demo", "2099-12-31", "127.0.0.1"));
        else
            p->zhixing(onlineInsert("1", "demo", "demo", "2099-12-31", "127.0.0.1"));
        return p->hqdlsj("1");
    };
    QCOMPARE(proxy()->hqdlsj("1"), QString());
    const QString first = login();
    QVERIFY(!first.isEmpty());
    QCOMPARE(proxy()->hqdlsj("1"), first);
    // Even a second login in the same clock second must change the stamp, or the first
    // client would never notice it.
    const QString second = login();
    QVERIFY2(second != first, qPrintable(first));
    QCOMPARE(
        service->querySql("SELECT (SELECT count(*) FROM userdl), userzh, userdlip, userdqsj FROM userdl"),
        QList<QStringList>({{"1", "demo", "127.0.0.1", "2099-12-31 00:00:00"}}));
    QVERIFY(!service->querySql("SELECT userpas FROM userdl").value(0).value(0).contains("demo"));

    // The first sign-in's end leaves the second sign-in's record; the second's takes it.
    QCOMPARE(proxy()->zhixing(ClientStatements::onlineRecordDelete("1", first)), QStringLiteral("true"));
    QCOMPARE(proxy()->hqdlsj("1"), second);
    QCOMPARE(proxy()->zhixing(ClientStatements::onlineRecordDelete("1", second)), QStringLiteral("true"));
    QCOMPARE(proxy()->hqdlsj("1"), QString());
    QCOMPARE(proxy()->hqdlsj("not a number"), QString());
}

void tst_WebService::apostropheStoredAndMatchedAsTyped()
{
    const QString name = "O'Neil ''x'";
    QCOMPARE(proxy()->hqsfczjl(applicationCount(name)), 0);
    QCOMPARE(proxy()->zhixing(applicationInsert(name, "it's", "1'2")), QStringLiteral("true"));
    QCOMPARE(proxy()->hqsfczjl(applicationCount(name)), 1);
    QCOMPARE(proxy()->hqsfczjl(applicationCount("O'Neil 'x'")), 0);
    QCOMPARE(service->querySql("SELECT usetrname, shouji FROM NewUser"), QList<QStringList>({{name, "1'2"}}));
    // The application becomes an account that logs in with the password as typed.
    QCOMPARE(service->runCommand({"applications", "approve", name, "--level", "2"}), 0);
    QCOMPARE(proxy()->hqsfczjl(accountCount(name)), 1);
    QCOMPARE(proxy()->yanzheng(name, "it's"), QStringLiteral("true"));
    QCOMPARE(proxy()->hqsfczjl(applicationCount(name)), 0);
}

void tst_WebService::injectionAttemptChangesNothing()
{
    const auto before = service->querySql("SELECT id, username, userpas FROM UserTable ORDER BY id");
    // As a client that did not double apostrophes would send it: refused outright.
    QVERIFY(!faultOf([&] {
                 proxy()->hqsfczjl(
                     "select * from UserTable where (StrComp(username,'x',0)=0) or 1=1 --',0)=0) ");
             }).isEmpty());
    QVERIFY(
        !faultOf([&] { proxy()->zhixing("update UserTable set userpas= 'x' where id=1 or 1=1"); }).isEmpty());
    // As the client sends it: the text is a value, matched as typed, nothing else.
    QCOMPARE(proxy()->hqsfczjl(accountCount("x',0)=0) or 1=1 --")), 0);
    QCOMPARE(proxy()->zhixing(applicationInsert("a'); delete from UserTable; --", "p", "q")),
             QStringLiteral("true"));
    QCOMPARE(service->querySql("SELECT id, username, userpas FROM UserTable ORDER BY id"), before);
    QCOMPARE(service->querySql("SELECT usetrname FROM NewUser"),
             QList<QStringList>({{"a'); delete from UserTable; --"}}));
}

void tst_WebService::passwordChange()
{
    signIn();
    QCOMPARE(proxy()->zhixing(ClientStatements::passwordChange("1", "n'eu")), QStringLiteral("true"));
    QCOMPARE(proxy()->yanzheng("demo", "demo"), QStringLiteral("false"));
    QCOMPARE(proxy()->yanzheng("demo", "n'eu"), QStringLiteral("true"));
    // An empty password is a password too.
    QCOMPARE(proxy()->zhixing(ClientStatements::passwordChange("1", "")), QStringLiteral("true"));
    QCOMPARE(proxy()->yanzheng("demo", ""), QStringLiteral("true"));
    // No such account: nothing was changed, and the answer says so.
    QCOMPARE(proxy()->zhixing(ClientStatements::passwordChange("99", "x")), QStringLiteral("false"));
}

void tst_WebService::accountWritesNeedTheSignedInClient()
{
    const QString insert = onlineInsert("1", "demo", "demo", "2099-12-31", "127.0.0.1");
    const QString passwordUpdate = ClientStatements::passwordChange("1", "neu");
    auto accounts = [&] { return service->querySql("SELECT id, userpas FROM UserTable ORDER BY id"); };
    const auto before = accounts();
    // Nobody proved a password: no online record, no password change.
    QCOMPARE(proxy()->zhixing(insert), QStringLiteral("false"));
    QCOMPARE(proxy()->zhixing(passwordUpdate), QStringLiteral("false"));
    QCOMPARE(service->querySql("SELECT count(*) FROM userdl"), QList<QStringList>({{"0"}}));
    // A wrong password proves nothing.
    QCOMPARE(proxy()->yanzheng("demo", "wrong"), QStringLiteral("false"));
    QCOMPARE(proxy()->zhixing(insert), QStringLiteral("false"));
    QCOMPARE(accounts(), before);

    // As the client does it: hqdlyhxx proves the password as well as yanzheng does.
    QCOMPARE(column(proxy()->hqdlyhxx("demo", "demo"), "id"), QStringList({"1"}));
    QCOMPARE(proxy()->zhixing(insert), QStringLiteral("true"));
    // Holding demo's record is no licence for vip's account.
    QCOMPARE(proxy()->zhixing(ClientStatements::passwordChange("2", "x")), QStringLiteral("false"));
    QCOMPARE(proxy()->zhixing(onlineInsert("2", "vip", "vip", "2099-12-31", "127.0.0.1")),
             QStringLiteral("false"));
    QCOMPARE(accounts(), before);
    QCOMPARE(proxy()->zhixing(passwordUpdate), QStringLiteral("true"));
    QCOMPARE(proxy()->yanzheng("demo", "neu"), QStringLiteral("true"));

    // After the record is gone the password cannot be changed again.
    QCOMPARE(proxy()->zhixing(ClientStatements::onlineRecordDelete("1", proxy()->hqdlsj("1"))),
             QStringLiteral("true"));
    QCOMPARE(proxy()->zhixing(ClientStatements::passwordChange("1", "other")), QStringLiteral("false"));
    QCOMPARE(proxy()->yanzheng("demo", "neu"), QStringLiteral("true"));
}

void tst_WebService::passwordProofLastsTwoMinutes()
{
    const QString insert = onlineInsert("1", "demo", "demo", "2099-12-31", "127.0.0.1");
    QCOMPARE(proxy()->yanzheng("demo", "demo"), QStringLiteral("true"));
    // The same proof, made 121 seconds ago: too old.
    QVERIFY(service->execSql("UPDATE PasswordProof SET provedAt = provedAt - 121"));
    QCOMPARE(proxy()->zhixing(insert), QStringLiteral("false"));
    QVERIFY(service->execSql("UPDATE PasswordProof SET provedAt = provedAt + 2"));
    QCOMPARE(proxy()->zhixing(insert), QStringLiteral("true"));
}

void tst_WebService::textLimits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stored");
    QTest::newRow("255 letters") << QString(255, u'a') << true;
    QTest::newRow("256 letters") << QString(256, u'a') << false;
    // Characters, not bytes: 255 Chinese characters are 765 bytes of UTF-8.
    QTest::newRow("255 Chinese characters") << QString(255, QChar(0x80A1)) << true;
    QTest::newRow("256 Chinese characters") << QString(256, QChar(0x80A1)) << false;
    QTest::newRow("twenty thousand letters") << QString(20000, u'x') << false;
}

void tst_WebService::textLimits()
{
    QFETCH(QString, text);
    QFETCH(bool, stored);
    const QString tooLong =
        "Server was unable to process request. ---> A text value is longer than 255 characters.";
    // Every text value of a stored statement: the name, the password, the QQ number.
    const QList<QStringList> forms = {{text, "pw", "1"}, {"n2", text, "2"}, {"n3", "pw", text}};
    for (const QStringList &form : forms) {
        QString answer;
        QString fault =
            faultOf([&] { answer = proxy()->zhixing(applicationInsert(form[0], form[1], form[2])); });
        QCOMPARE(fault, stored ? QString() : tooLong);
        QCOMPARE(answer, stored ? QStringLiteral("true") : QString());
    }
    QCOMPARE(service->querySql("SELECT count(*) FROM NewUser"), QList<QStringList>({{stored ? "3" : "0"}}));

    // The online record's texts too.
    signIn();
    QString fault = faultOf([&] { proxy()->zhixing(onlineUpdate("1", "demo", "demo", "2099-12-31", text)); });
    QCOMPARE(fault, stored ? QString() : tooLong);
    QCOMPARE(service->querySql("SELECT userdlip FROM userdl"),
             QList<QStringList>({{stored ? text : QStringLiteral("127.0.0.1")}}));
}

void tst_WebService::signUpStoresNoClearPassword()
{
    QCOMPARE(proxy()->zhixing(applicationInsert("neu", "geheim", "12345")), QStringLiteral("true"));
    // The same name a second time is refused by the store, reported as "false".
    QCOMPARE(proxy()->zhixing(applicationInsert("neu", "other", "")), QStringLiteral("false"));
    const auto rows = service->querySql("SELECT usetrname, zcmm, zhucetime, shouji FROM NewUser");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0], QStringLiteral("neu"));
    QVERIFY(!rows[0][1].contains("geheim"));
    QCOMPARE(rows[0][2], day(0) + " 00:00:00");
    QCOMPARE(rows[0][3], QStringLiteral("12345"));
    QString output;
    QCOMPARE(service->runCommand({"applications", "list"}, &output), 0);
    QVERIFY2(output.contains("neu\t12345"), qPrintable(output));
    QVERIFY(!output.contains("geheim"));
}

void tst_WebService::countersRaisedByPublishAndRevise()
{
    const QStringList start = counters(3);
    QCOMPARE(start.size(), 14);
    QString output;
    QCOMPARE(service->runCommand({"publish", "stock", "--code", "600036", "--name", "招商银行", "--op",
                                  "买入", "--reason", "突破", "--level", "3"},
                                 &output),
             0);
    const QString id = QRegularExpression("(\\d+)\\s*$").match(output).captured(1);
    QVERIFY2(!id.isEmpty(), qPrintable(output));
    QStringList now = countersWhen(3, [&](const QStringList &c) { return c != start; });
    QCOMPARE(now[0].toInt(), start[0].toInt() + 1);
    QCOMPARE(now[1], start[1]);

    QCOMPARE(service->runCommand({"revise", "stock", id, "--reason", "放量突破"}), 0);
    now = countersWhen(3, [&](const QStringList &c) { return c[1] != start[1]; });
    QCOMPARE(now[0].toInt(), start[0].toInt() + 1);
    QCOMPARE(now[1].toInt(), start[1].toInt() + 1);
    QCOMPARE(service->querySql("SELECT czly FROM Tuijiangupiao WHERE id=" + id),
             QList<QStringList>({{"放量突破"}}));

    // Each stream moves its own counters.
    QCOMPARE(service->runCommand({"publish", "news", "--type", "大盘", "--text", "快讯"}), 0);
    QCOMPARE(service->runCommand({"publish", "insider", "--title", "内参", "--body", "正文"}), 0);
    QCOMPARE(service->runCommand({"publish", "secret", "--title", "绝密"}), 0);
    QCOMPARE(service->runCommand({"revise", "news", "1", "--text", "更正"}), 0);
    now = countersWhen(3, [&](const QStringList &c) { return c[13] != start[13]; });
    QCOMPARE(now[2].toInt(), start[2].toInt() + 1); // insider added
    QCOMPARE(now[6], QStringLiteral("内参"));
    QCOMPARE(now[7].toInt(), start[7].toInt() + 1); // secret added
    QCOMPARE(now[11], QStringLiteral("绝密"));
    QCOMPARE(now[12].toInt(), start[12].toInt() + 1); // news added
    QCOMPARE(now[13].toInt(), start[13].toInt() + 1); // news revised

    // Revising an item that does not exist is an error and moves nothing.
    QVERIFY(service->runCommand({"revise", "stock", "999", "--reason", "x"}) != 0);
    QCOMPARE(counters(3), now);
}

void tst_WebService::countersFollowTiering()
{
    // With tiering a level-2 user is told only of items of levels 2 and 3 (each level asked
    // for from an address holding a signed-in account of it).
    signIn();
    signIn("2", "vip");
    const QStringList level2 = counters(2);
    const QStringList level1 = counters(1);
    QCOMPARE(service->runCommand({"publish", "stock", "--code", "1", "--name", "n", "--op", "o", "--reason",
                                  "r", "--level", "1"}),
             0);
    QCOMPARE(service->runCommand({"publish", "insider", "--title", "只给一级", "--level", "1"}), 0);
    QStringList one =
        countersWhen(1, [&](const QStringList &c) { return c[6] == QStringLiteral("只给一级"); });
    QCOMPARE(one[0].toInt(), level1[0].toInt() + 1);
    QCOMPARE(one[6], QStringLiteral("只给一级"));
    QCOMPARE(counters(2), level2);

    // Moving an item to another level is a revision for both levels.
    QCOMPARE(service->runCommand({"revise", "stock", "7", "--level", "2"}), 0);
    QCOMPARE(countersWhen(2, [&](const QStringList &c) { return c[1] != level2[1]; })[1].toInt(),
             level2[1].toInt() + 1);
    QCOMPARE(counters(1)[1].toInt(), level1[1].toInt() + 1);

    // Without tiering everybody hears of everything.
    QVERIFY(service->execSql("UPDATE Sys_pz SET yhqyhyfj=FALSE"));
    const QStringList all =
        countersWhen(2, [&](const QStringList &c) { return c[6] == QStringLiteral("只给一级"); });
    QCOMPARE(all[0], service->querySql("SELECT count(*) FROM Tuijiangupiao").value(0).value(0));
    QCOMPARE(all[6], QStringLiteral("只给一级"));
}

void tst_WebService::newestTitleIsOneItem_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("blanks and a comma") << "涨停 预告, 明日 开盘";
    QTest::newRow("double quotes") << "\"独家\" 消息,\"\"";
    QTest::newRow("one blank") << "A B";
    QTest::newRow("empty") << "";
}

void tst_WebService::newestTitleIsOneItem()
{
    QFETCH(QString, title);
    QCOMPARE(service->runCommand({"publish", "insider", "--title", title}), 0);
    QCOMPARE(service->runCommand({"publish", "secret", "--title", title + "!"}), 0);
    const QStringList items = counters(3);
    QCOMPARE(items.size(), 14);
    QCOMPARE(items[6], title);
    QCOMPARE(items[11], title + "!");
    // The time travels as two items that the client joins with one blank.
    QVERIFY2(QRegularExpression("^" + day(0) + " \\d\\d:\\d\\d:\\d\\d$")
                 .match(items[4] + " " + items[5])
                 .hasMatch(),
             qPrintable(items[4] + " " + items[5]));
    for (int i : {0, 1, 2, 3, 7, 8, 12, 13}) {
        bool ok = false;
        items[i].toInt(&ok);
        QVERIFY2(ok, qPrintable(QString::number(i) + ": " + items[i]));
    }
}

void tst_WebService::endedSubscriptionIsServedAsPublic()
{
    // vip (level 1) paid until 2000: signs in, as the public level, and reads no paid item.
    QVERIFY(service->execSql("UPDATE UserTable SET reachtime='2000-01-01 00:00:00' WHERE username='vip'"));
    QCOMPARE(proxy()->yanzheng("vip", "vip"), QStringLiteral("true"));
    const QString account = proxy()->hqdlyhxx("vip", "vip");
    QCOMPARE(column(account, "UserDJ"), QStringList({"3"}));
    QCOMPARE(column(account, "reachtime").value(0).left(10), QStringLiteral("2000-01-01"));
    QCOMPARE(proxy()->zhixing(onlineInsert("2", "vip", "vip", "2000-01-01", "127.0.0.1")),
             QStringLiteral("true"));
    QCOMPARE(column(proxy()->hqsametable(latestAlerts("1")), "id").join(','), QStringLiteral("5,4,1"));
    QCOMPARE(counters(1), counters(3));
}

void tst_WebService::holdingEndsAWeekAfterTheSignIn_data()
{
    QTest::addColumn<int>("signedInDaysAgo");
    QTest::addColumn<bool>("held");
    QTest::newRow("today") << 0 << true;
    QTest::newRow("six days ago") << 6 << true;
    QTest::newRow("eight days ago") << 8 << false;
}

void tst_WebService::holdingEndsAWeekAfterTheSignIn()
{
    QFETCH(int, signedInDaysAgo);
    QFETCH(bool, held);
    signIn("2", "vip");
    const QString then =
        QDateTime::currentDateTime().addDays(-signedInDaysAgo).toString("yyyy-MM-dd hh:mm:ss");
    QVERIFY(service->execSql("UPDATE userdl SET userdlsj='" + then + "' WHERE userid=2"));
    // An address that held the record once (a dynamic address now someone else's) reads no
    // paid items and changes no password once the holding ended.
    QCOMPARE(column(proxy()->hqsametable(latestAlerts("1")), "id").join(','),
             held ? QStringLiteral("7,5,4,3,1") : QStringLiteral("5,4,1"));
    QCOMPARE(proxy()->zhixing("update UserTable set userpas= 'neu' where id=2"),
             held ? QStringLiteral("true") : QStringLiteral("false"));
    QCOMPARE(proxy()->yanzheng("vip", "neu"), held ? QStringLiteral("true") : QStringLiteral("false"));
}

void tst_WebService::countersKeptOnlyForReadableLevels()
{
    // Any level asked by a caller that holds none is answered as the public level, so the
    // answers kept per level cannot grow with the levels strangers ask for.
    const QStringList publicCounters = counters(3);
    for (int level : {1, 2, 4, 99, -7, 2147483647})
        QCOMPARE(counters(level), publicCounters);
    signIn();
    QVERIFY(counters(2) != publicCounters);
    QCOMPARE(counters(1), publicCounters);
}

void tst_WebService::paidCountersFollowTheHolder_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("signed in elsewhere")
        << QStringLiteral("UPDATE userdl SET holderip='127.0.0.99' WHERE userid=2");
    QTest::newRow("holding ended") << QStringLiteral(
        "UPDATE userdl SET userdlsj='2000-01-01 00:00:00' WHERE userid=2");
    QTest::newRow("subscription ended")
        << QStringLiteral("UPDATE UserTable SET reachtime='2000-01-01' WHERE id=2");
}

void tst_WebService::paidCountersFollowTheHolder()
{
    // On PostgreSQL the holders are kept in memory beside the answers: a change of the online
    // records or the accounts reaches them by the database's notification.
    QFETCH(QString, change);
    const QStringList publicCounters = counters(3);
    signIn("2", "vip");
    QVERIFY(countersWhen(1, [&](const QStringList &answer) { return answer != publicCounters; }) !=
            publicCounters);
    QVERIFY(service->execSql(change));
    QCOMPARE(countersWhen(1, [&](const QStringList &answer) { return answer == publicCounters; }),
             publicCounters);
}

QTEST_GUILESS_MAIN(tst_WebService)
#include "tst_WebService.moc"
