// The operator's command line on a real database, and the serving process's life: demo
// feed, clean shutdown, a port that is taken.
#include "ServiceClient.h"
#include "ServiceFixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_OperatorCommands : public QObject
{
    Q_OBJECT

private slots:
    void users();
    void optionsInAnyOrder();
    void badInvocationsChangeNothing_data();
    void badInvocationsChangeNothing();
    void initDatabase();
    void demoFeedPublishes();
    void cleanShutdown();
    void portInUseIsAnError();
    void copyCarriesEverything();
};

void tst_OperatorCommands::users()
{
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    auto proxy = [&] { return ServiceClient::GetWebServiceSoap(service.endpoint()); };

    QString output;
    QCOMPARE(service.runCommand({"user", "add", "张三", "pass word", "--level", "1", "--until", "2030-01-31"},
                                &output),
             0);
    QCOMPARE(proxy()->yanzheng("张三", "pass word"), QStringLiteral("true"));
    QCOMPARE(service.querySql("SELECT UserDJ, reachtime FROM UserTable WHERE username='张三'"),
             QList<QStringList>({{"1", "2030-01-31 00:00:00"}}));
    // No password given and none on standard input: refused, nothing added.
    QVERIFY(service.runCommand({"user", "add", "ohne"}, &output) != 0);
    QVERIFY(service.runCommand({"user", "add", "demo", "x"}, &output) != 0);
    QVERIFY2(output.contains("exists"), qPrintable(output));

    QCOMPARE(service.runCommand({"user", "list"}, &output), 0);
    QVERIFY2(output.contains("张三\t1\t2030-01-31"), qPrintable(output));
    QVERIFY(!output.contains("pbkdf2"));

    QCOMPARE(service.runCommand({"user", "passwd", "张三", "neu"}), 0);
    QCOMPARE(proxy()->yanzheng("张三", "pass word"), QStringLiteral("false"));
    QCOMPARE(proxy()->yanzheng("张三", "neu"), QStringLiteral("true"));

    // Removing an account also ends its online record.
    QVERIFY(service.execSql("INSERT INTO userdl(userid, userzh) SELECT id, username FROM UserTable WHERE "
                            "username='张三'"));
    QCOMPARE(service.runCommand({"user", "remove", "张三"}), 0);
    QCOMPARE(proxy()->yanzheng("张三", "neu"), QStringLiteral("false"));
    QCOMPARE(service.querySql("SELECT count(*) FROM userdl"), QList<QStringList>({{"0"}}));
    QVERIFY(service.runCommand({"user", "remove", "张三"}) != 0);
}

void tst_OperatorCommands::optionsInAnyOrder()
{
    ServiceFixture service(false);
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QCOMPARE(service.runCommand({"--level", "1", "publish", "--reason", "突破", "stock", "--code", "600036",
                                 "--name=招商银行", "--op", "买入"}),
             0);
    QCOMPARE(service.querySql("SELECT id, gupiaodaima, jg, czfs, czly, XinXiDJ FROM Tuijiangupiao"),
             QList<QStringList>({{"1", "600036", "招商银行", "买入", "突破", "1"}}));
    QCOMPARE(service.runCommand({"revise", "--level", "3", "stock", "1", "--op", "卖出"}), 0);
    QCOMPARE(service.querySql("SELECT czfs, czly, XinXiDJ FROM Tuijiangupiao"),
             QList<QStringList>({{"卖出", "突破", "3"}}));
}

void tst_OperatorCommands::badInvocationsChangeNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command";
    QTest::newRow("unknown option") << QStringList{"publish", "news", "--type",   "a",
                                                   "--text",  "b",    "--colour", "x"}
                                    << "unknown option";
    QTest::newRow("option without value")
        << QStringList{"publish", "news", "--type", "a", "--text"} << "needs a value";
    QTest::newRow("missing option") << QStringList{"publish", "stock", "--code", "1",
                                                   "--name",  "n",     "--op",   "o"}
                                    << "--reason";
    QTest::newRow("level not a number")
        << QStringList{"publish", "news", "--type", "a", "--text", "b", "--level", "zwei"} << "--level";
    QTest::newRow("time not a time") << QStringList{"publish", "news", "--type", "a",
                                                    "--text",  "b",    "--time", "gestern"}
                                     << "date-time";
    QTest::newRow("unknown stream") << QStringList{"publish", "gossip", "--title", "x"} << "stream";
    QTest::newRow("revise without id") << QStringList{"revise", "stock", "--op", "x"} << "id";
    QTest::newRow("revise of a missing item")
        << QStringList{"revise", "news", "99", "--text", "x"} << "no item";
    QTest::newRow("approve a missing application")
        << QStringList{"applications", "approve", "x"} << "no application";
    QTest::newRow("trusted proxy not an address")
        << QStringList{"serve", "--listen", "127.0.0.1:0", "--trusted-proxy", "proxy.example"}
        << "--trusted-proxy takes an IPv4 or IPv6 address";
    QTest::newRow("no connection per address")
        << QStringList{"serve", "--listen", "127.0.0.1:0", "--max-connections-per-address", "0"}
        << "positive";
}

void tst_OperatorCommands::badInvocationsChangeNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    static ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    const QString snapshot =
        "SELECT (SELECT count(*) FROM Tuijiangupiao), (SELECT count(*) FROM spzx), (SELECT "
        "group_concat(added || '/' || revised) FROM ChangeCounter), (SELECT count(*) FROM "
        "UserTable)";
    const auto before = service.querySql(snapshot);
    QString output;
    QVERIFY(service.runCommand(args, &output) > 0);
    QVERIFY2(output.contains(message), qPrintable(output));
    QCOMPARE(service.querySql(snapshot), before);
}

void tst_OperatorCommands::initDatabase()
{
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString output;
    // Demo data only into an empty database; the schema step may run again any time.
    QCOMPARE(service.runCommand({"init", "--demo"}, &output), 1);
    QCOMPARE(service.runCommand({"init"}, &output), 0);
    QCOMPARE(service.querySql("SELECT count(*) FROM UserTable"), QList<QStringList>({{"3"}}));
    // Password hashes and addresses are nobody else's business (a PostgreSQL database's
    // rights are its administrator's).
    if (ServiceFixture::onPostgres())
        return;
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFileInfo(service.dbPath()).permissions() & others, QFile::Permissions());
}

void tst_OperatorCommands::demoFeedPublishes()
{
    ServiceFixture service(true, {"--demo-feed", "1"});
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    const QString count = "SELECT (SELECT count(*) FROM Tuijiangupiao) + (SELECT count(*) FROM spzx)";
    const int before = service.querySql(count).value(0).value(0).toInt();
    QTRY_VERIFY_WITH_TIMEOUT(service.querySql(count).value(0).value(0).toInt() >= before + 2, 15000);
    QVERIFY(service.serverLog().contains("demo feed: published"));
}

void tst_OperatorCommands::cleanShutdown()
{
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    // An idle keep-alive connection must not hold the shutdown up.
    auto proxy = ServiceClient::GetWebServiceSoap(service.endpoint());
    QCOMPARE(proxy->yanzheng("demo", "demo"), QStringLiteral("true"));
    QCOMPARE(service.stop(), 0);
    QVERIFY2(service.serverLog().endsWith("stopped\n"), qPrintable(service.serverLog()));
    QVERIFY(!service.isRunning());
}

void tst_OperatorCommands::portInUseIsAnError()
{
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(
        ServiceFixture::servicePath(),
        {"serve", "--listen", "127.0.0.1:" + QString::number(service.port()), "--db", service.dbPath()});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(QString::fromUtf8(second.readAll()).contains("cannot listen"));
    QVERIFY(service.isRunning());
}

void tst_OperatorCommands::copyCarriesEverything()
{
    // The source: an SQLite database with the demo data, one more alert and an alert moved to
    // another level (counters that no insert alone would give).
    QTemporaryDir dir;
    const QString source = dir.filePath("source.db");
    auto run = [&](const QStringList &args) {
        QProcess command;
        command.start(ServiceFixture::servicePath(), QStringList(args) << "--db" << source);
        return command.waitForFinished(60000) && command.exitCode() == 0;
    };
    QVERIFY(run({"init", "--demo"}));
    QVERIFY(
        run({"publish", "stock", "--code", "600000", "--name", "浦发银行", "--op", "买入", "--reason", "r"}));
    QVERIFY(run({"revise", "stock", "2", "--level", "3"}));

    ServiceFixture target(false);
    QVERIFY2(target.isRunning(), qPrintable(target.errorString()));
    QString output;
    QCOMPARE(target.runCommand({"copy", "--from", source}, &output), 0);
    const QString counters =
        "SELECT stream || ' ' || level || ' ' || added || ' ' || revised FROM ChangeCounter "
        "ORDER BY stream, level";
    QCOMPARE(target.querySql(counters), QList<QStringList>({{"gptj 1 2 0"},
                                                            {"gptj 2 2 1"},
                                                            {"gptj 3 4 1"},
                                                            {"smjm 3 1 0"},
                                                            {"smnc 2 1 0"},
                                                            {"smnc 3 1 0"},
                                                            {"spzx 2 1 0"},
                                                            {"spzx 3 2 0"}}));
    // Password hashes, the configuration's flags and the ids come over as they were.
    auto proxy = ServiceClient::GetWebServiceSoap(target.endpoint());
    QCOMPARE(proxy->yanzheng("vip", "vip"), QStringLiteral("true"));
    QVERIFY(proxy->hqSys_pz().contains("<yhqyhyfj>true</yhqyhyfj>"));
    QCOMPARE(target.querySql("SELECT id, XinXiDJ FROM Tuijiangupiao WHERE gupiaodaima='000858'"),
             QList<QStringList>({{"2", "3"}}));
    // New items continue after the copied ones.
    QCOMPARE(target.runCommand({"publish", "news", "--type", "t", "--text", "x"}, &output), 0);
    QCOMPARE(output.trimmed(), QStringLiteral("published news 4"));

    // Into a database that has accounts already: refused, nothing added.
    const auto before = target.querySql(counters);
    QCOMPARE(target.runCommand({"copy", "--from", source}, &output), 1);
    QVERIFY2(output.contains("already holds accounts"), qPrintable(output));
    QCOMPARE(target.querySql(counters), before);
    QCOMPARE(target.querySql("SELECT count(*) FROM UserTable"), QList<QStringList>({{"3"}}));
}

QTEST_GUILESS_MAIN(tst_OperatorCommands)
#include "tst_OperatorCommands.moc"
