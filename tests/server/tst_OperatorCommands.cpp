// The operator's command line on a real database, and the serving process's life: demo
// feed, clean shutdown, a port that is taken.
#include "ServiceClient.h"
#include "ServiceFixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

class tst_OperatorCommands : public QObject
{
    Q_OBJECT

private slots:
    void users();
    void optionsInAnyOrder();
    void badInvocationsChangeNothing_data();
    void badInvocationsChangeNothing();
    void helpRunsNothing_data();
    void helpRunsNothing();
    void initDatabase();
    void demoFeedPublishes();
    void cleanShutdown();
    void portInUseIsAnError();
    void copyCarriesEverything();
    void configShowsEverySetting();
    void configSetReachesClients_data();
    void configSetReachesClients();
    void configRefusals_data();
    void configRefusals();
    void initDemoNamesItsAccounts();
    void levelNobodyHasIsRefused();
    void operatorAccounts();
    void backupUnderWriteLoadRestores();
    void passwordsNeverOnTheCommandLine_data();
    void passwordsNeverOnTheCommandLine();
    void passwordPromptOnATerminalIsNotEchoed();
    void initMakesAnExistingFileOwnerOnly_data();
    void initMakesAnExistingFileOwnerOnly();
    void printedTextIsEscaped_data();
    void printedTextIsEscaped();
};

void tst_OperatorCommands::users()
{
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    auto proxy = [&] { return ServiceClient::GetWebServiceSoap(service.endpoint()); };

    QString output;
    QCOMPARE(service.runCommandWithInput({"user", "add", "张三", "--level", "1", "--until", "2030-01-31"},
                                         "pass word\n", &output),
             0);
    QCOMPARE(proxy()->yanzheng("张三", "pass word"), QStringLiteral("true"));
    QCOMPARE(service.querySql("SELECT UserDJ, reachtime FROM UserTable WHERE username='张三'"),
             QList<QStringList>({{"1", "2030-01-31 00:00:00"}}));
    // No password given and none on standard input: refused, nothing added.
    QVERIFY(service.runCommand({"user", "add", "ohne"}, &output) != 0);
    QVERIFY(service.runCommandWithInput({"user", "add", "demo"}, "x\n", &output) != 0);
    QVERIFY2(output.contains("exists"), qPrintable(output));

    QCOMPARE(service.runCommand({"user", "list"}, &output), 0);
    QVERIFY2(output.contains("张三\t1\t2030-01-31"), qPrintable(output));
    QVERIFY(!output.contains("pbkdf2"));

    QCOMPARE(service.runCommandWithInput({"user", "passwd", "张三"}, "neu\n"), 0);
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
    QCOMPARE(service.runCommandWithInput({"--level", "1", "user", "add", "li"}, "pw\n"), 0);
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
    QTest::newRow("level that does not exist")
        << QStringList{"publish", "news", "--type", "a", "--text", "b", "--level", "5"} << "no level 5";
    QTest::newRow("level zero for a user") << QStringList{"user", "add", "x", "--level", "0"} << "no level 0";
    QTest::newRow("revise to a level that does not exist")
        << QStringList{"revise", "news", "1", "--level", "4"} << "no level 4";
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

void tst_OperatorCommands::helpRunsNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("help") << QStringList{"help"};
    QTest::newRow("--help alone") << QStringList{"--help"};
    QTest::newRow("serve --help does not serve") << QStringList{"serve", "--listen", "127.0.0.1:0", "--help"};
    QTest::newRow("user add --help adds nobody") << QStringList{"user", "add", "helpless", "--help"};
    QTest::newRow("publish --help publishes nothing")
        << QStringList{"--help", "publish", "news", "--type", "a", "--text", "b"};
}

void tst_OperatorCommands::helpRunsNothing()
{
    QFETCH(QStringList, args);
    static ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    const QString snapshot = "SELECT (SELECT count(*) FROM spzx), (SELECT count(*) FROM UserTable)";
    const auto before = service.querySql(snapshot);
    QString output;
    QCOMPARE(service.runCommand(args, &output), 0);
    QVERIFY2(output.startsWith("usage: stock-alert-service COMMAND"), qPrintable(output));
    QVERIFY2(output.contains("  serve [--listen HOST:PORT]"), qPrintable(output));
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

void tst_OperatorCommands::configShowsEverySetting()
{
    ServiceFixture service(false);
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString output;
    QCOMPARE(service.runCommand({"config", "show"}, &output), 0);
    const QStringList names = {"system-name",
                               "notice",
                               "prompt",
                               "support-qq",
                               "poll-seconds",
                               "tiering",
                               "stay-on-top",
                               "home-url",
                               "page.alerts.title",
                               "page.insider.title",
                               "page.news.title",
                               "page.news.url",
                               "page.quotes.title",
                               "page.quotes.url",
                               "page.valuation.title",
                               "page.valuation.url",
                               "page.profiles.title",
                               "page.profiles.url",
                               "page.funds.title",
                               "page.funds.url",
                               "page.research.title",
                               "page.research.url"};
    for (const QString &name : names)
        QVERIFY2(output.contains("\n" + name + " = ") || output.startsWith(name + " = "), qPrintable(name));
    // A fresh init has a value for each: nothing is "(not set)".
    QVERIFY2(!output.contains("(not set)"), qPrintable(output));
    QVERIFY(output.contains("poll-seconds = 5\n    how often clients ask for changes"));
    QVERIFY(output.contains("page.news.url = /pages/news.html\n"));
}

void tst_OperatorCommands::configSetReachesClients_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("answered"); // in the configuration answer the clients read

    QTest::newRow("system name") << "system-name"
                                 << "金股预警"
                                 << "金股预警"
                                 << "<gpsysname>金股预警</gpsysname>";
    QTest::newRow("poll period") << "poll-seconds"
                                 << "15"
                                 << "15"
                                 << "<khdsxsj>15</khdsxsj>";
    QTest::newRow("tiering off") << "tiering"
                                 << "false"
                                 << "false"
                                 << "<yhqyhyfj>false</yhqyhyfj>";
    QTest::newRow("prompt with a line break") << "prompt"
                                              << "第一行\n第二行"
                                              << "第一行\\n第二行"
                                              << "<sytsxx>第一行\n第二行</sytsxx>";
    QTest::newRow("home page elsewhere") << "home-url"
                                         << "https://example.com/home"
                                         << "https://example.com/home"
                                         << "<hqurl>https://example.com/home</hqurl>";
}

void tst_OperatorCommands::configSetReachesClients()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QFETCH(QString, answered);
    ServiceFixture service(false);
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString output;
    QCOMPARE(service.runCommand({"config", "set", name, value}, &output), 0);
    QCOMPARE(service.runCommand({"config", "show"}, &output), 0);
    QVERIFY2(output.contains(name + " = " + shown + "\n"), qPrintable(output));
    auto proxy = ServiceClient::GetWebServiceSoap(service.endpoint());
    QVERIFY2(proxy->hqSys_pz().contains(answered), qPrintable(proxy->hqSys_pz()));
}

void tst_OperatorCommands::configRefusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown setting") << QStringList{"config", "set", "colour", "red"} << "no setting colour";
    QTest::newRow("zero seconds") << QStringList{"config", "set", "poll-seconds", "0"} << "whole number";
    QTest::newRow("seconds not a number")
        << QStringList{"config", "set", "poll-seconds", "5s"} << "whole number";
    QTest::newRow("negative seconds") << QStringList{"config", "set", "poll-seconds", "-5"} << "whole number";
    QTest::newRow("flag not a flag") << QStringList{"config", "set", "tiering", "maybe"} << "true or false";
    QTest::newRow("address of another scheme")
        << QStringList{"config", "set", "page.news.url", "javascript:alert(1)"} << "an address";
    QTest::newRow("address to another host without scheme")
        << QStringList{"config", "set", "page.news.url", "//evil.example/x"} << "an address";
    QTest::newRow("address with a blank")
        << QStringList{"config", "set", "home-url", "/pages/a b.html"} << "an address";
    QTest::newRow("name with a line break")
        << QStringList{"config", "set", "system-name", "a\nb"} << "one line";
    QTest::newRow("value missing") << QStringList{"config", "set", "notice"} << "set NAME VALUE";
}

void tst_OperatorCommands::configRefusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    static ServiceFixture service(false);
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString before, output;
    QCOMPARE(service.runCommand({"config", "show"}, &before), 0);
    QCOMPARE(service.runCommand(args, &output), 1);
    QVERIFY2(output.contains(message), qPrintable(output));
    QCOMPARE(service.runCommand({"config", "show"}, &output), 0);
    QCOMPARE(output, before);
}

void tst_OperatorCommands::initDemoNamesItsAccounts()
{
    QTemporaryDir dir;
    QProcess init;
    init.setProcessChannelMode(QProcess::MergedChannels);
    init.start(ServiceFixture::servicePath(), {"init", "--demo", "--db", dir.filePath("demo.db")});
    QVERIFY(init.waitForFinished(60000));
    QCOMPARE(init.exitCode(), 0);
    const QString output = QString::fromUtf8(init.readAll());
    QVERIFY2(output.contains("demo/demo (2), vip/vip (1), member/member (3)"), qPrintable(output));
    QVERIFY2(output.contains("user remove"), qPrintable(output));
}

void tst_OperatorCommands::levelNobodyHasIsRefused()
{
    // A fresh service: lists tiered by level, no subscribers yet.
    ServiceFixture service(false);
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString output;
    const QStringList news = {"publish", "news", "--type", "t", "--text", "x"};
    QCOMPARE(service.runCommand(QStringList(news) << "--level"
                                                  << "2",
                                &output),
             1);
    QVERIFY2(output.contains("no subscriber has level 2"), qPrintable(output));
    QCOMPARE(service.querySql("SELECT count(*) FROM spzx"), QList<QStringList>({{"0"}}));
    // The public level reaches everyone, whoever is there.
    QCOMPARE(service.runCommand(QStringList(news) << "--level"
                                                  << "3",
                                &output),
             0);
    QCOMPARE(service.runCommandWithInput({"user", "add", "li", "--level", "2"}, "pw\n", &output), 0);
    QCOMPARE(service.runCommand(QStringList(news) << "--level"
                                                  << "2",
                                &output),
             0);
    // Moving an item to a level nobody has is refused the same way.
    QCOMPARE(service.runCommand({"revise", "news", "1", "--level", "1"}, &output), 1);
    QVERIFY2(output.contains("no subscriber has level 1"), qPrintable(output));
    // Without tiering every subscriber sees every item: any existing level will do.
    QCOMPARE(service.runCommand({"config", "set", "tiering", "false"}, &output), 0);
    QCOMPARE(service.runCommand({"revise", "news", "1", "--level", "1"}, &output), 0);
    QCOMPARE(service.querySql("SELECT id, XinXiDJ FROM spzx ORDER BY id"),
             QList<QStringList>({{"1", "1"}, {"2", "2"}}));
}

void tst_OperatorCommands::operatorAccounts()
{
    ServiceFixture service(false);
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString output;
    QCOMPARE(service.runCommandWithInput({"operator", "add", "wang"}, "geheim 1\n", &output), 0);
    QCOMPARE(service.runCommand({"operator", "list"}, &output), 0);
    QVERIFY2(output.contains("\twang\t"), qPrintable(output));
    QVERIFY(!output.contains("pbkdf2"));
    // Stored hashed, never as typed.
    const auto stored = service.querySql("SELECT passhash FROM Operator WHERE name='wang'");
    QCOMPARE(stored.size(), 1);
    QVERIFY(stored[0][0].startsWith("pbkdf2-sha256$"));
    QVERIFY(!stored[0][0].contains("geheim"));
    // The password never from the command line, where the process list shows it.
    QCOMPARE(service.runCommand({"operator", "add", "li", "pw"}, &output), 1);
    QVERIFY2(output.contains("process list"), qPrintable(output));
    QCOMPARE(service.runCommand({"operator", "add", "li", "--password", "pw"}, &output), 1);
    QCOMPARE(service.runCommand({"operator", "add", "li"}, &output), 1); // nothing on standard input
    QCOMPARE(service.runCommandWithInput({"operator", "add", "wang"}, "x\n", &output), 1);
    QVERIFY2(output.contains("exists"), qPrintable(output));
    QCOMPARE(service.querySql("SELECT count(*) FROM Operator"), QList<QStringList>({{"1"}}));
    QCOMPARE(service.runCommand({"operator", "remove", "wang"}, &output), 0);
    QCOMPARE(service.runCommand({"operator", "remove", "wang"}, &output), 1);
    QVERIFY2(output.contains("no operator wang"), qPrintable(output));
}

void tst_OperatorCommands::backupUnderWriteLoadRestores()
{
    if (ServiceFixture::onPostgres())
        QSKIP("PostgreSQL is backed up with pg_dump (README)");
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString output;
    QCOMPARE(service.runCommandWithInput({"user", "add", "zhao", "--level", "1"}, "pw zhao\n", &output), 0);

    // Writes go on while the backup is taken: the service's own feed, every 1 s, and a loop of
    // publish commands.
    QProcess writer;
    writer.start("sh", {"-c",
                        "i=0; while [ $i -lt 400 ]; do \"$0\" publish news --type t --text \"n$i\" "
                        "--db \"$1\" >/dev/null || exit 1; i=$((i+1)); done",
                        ServiceFixture::servicePath(), service.dbPath()});
    QVERIFY(writer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(service.querySql("SELECT count(*) FROM spzx").value(0).value(0).toInt() > 20,
                             30000);

    QTemporaryDir dir;
    const QString backup = dir.filePath("backup.db");
    const int before = service.querySql("SELECT count(*) FROM spzx").value(0).value(0).toInt();
    QCOMPARE(service.runCommand({"backup", "--to", backup}, &output), 0);
    const int after = service.querySql("SELECT count(*) FROM spzx").value(0).value(0).toInt();
    QVERIFY2(writer.state() == QProcess::Running, "the writes ended before the backup: no load to show");
    QVERIFY(writer.waitForFinished(120000));
    QCOMPARE(writer.exitCode(), 0);
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFileInfo(backup).permissions() & others, QFile::Permissions());
    QVERIFY(!QFileInfo::exists(backup + ".partial"));

    // Restore: the copy into a new file, served.
    const QString restored = dir.filePath("restored.db");
    QVERIFY(QFile::copy(backup, restored));
    ServiceFixture restoredService(ServiceFixture::ExistingDatabase{restored});
    QVERIFY2(restoredService.isRunning(), qPrintable(restoredService.errorString()));
    QCOMPARE(restoredService.querySql("PRAGMA integrity_check"), QList<QStringList>({{"ok"}}));
    const int items = restoredService.querySql("SELECT count(*) FROM spzx").value(0).value(0).toInt();
    QVERIFY2(items >= before && items <= after,
             qPrintable(QString("%1 not in %2..%3").arg(items).arg(before).arg(after)));
    // One moment's copy: the change counters match the items they count.
    QCOMPARE(restoredService.querySql("SELECT sum(added) FROM ChangeCounter WHERE stream='spzx'"),
             QList<QStringList>({{QString::number(items)}}));
    auto proxy = ServiceClient::GetWebServiceSoap(restoredService.endpoint());
    QCOMPARE(proxy->yanzheng("zhao", "pw zhao"), QStringLiteral("true"));
    QCOMPARE(proxy->yanzheng("demo", "demo"), QStringLiteral("true"));
    QVERIFY(proxy->hqSys_pz().contains("<gpsysname>智能股票预警系统</gpsysname>"));

    // A backup onto the database itself is refused.
    QCOMPARE(service.runCommand({"backup", "--to", service.dbPath()}, &output), 1);
}

void tst_OperatorCommands::passwordsNeverOnTheCommandLine_data()
{
    QTest::addColumn<QStringList>("args"); // "FILE": a password file holding fileText
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("fileText");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    // Then: this account with this password signs in (answer "true") or not ("false").
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("answer");

    const QStringList add = {"user", "add", "zhou"}, passwd = {"user", "passwd", "member"};
    const QString onCommandLine = "--password-file FILE";
    QTest::newRow("add: standard input")
        << add << QByteArray("pw zhou\n") << QByteArray() << 0 << "added user zhou"
        << "zhou"
        << "pw zhou"
        << "true";
    QTest::newRow("add: password file")
        << (QStringList(add) << "--password-file"
                             << "FILE")
        << QByteArray() << QByteArray("aus der Datei\r\nsecond line\n") << 0 << "added user zhou"
        << "zhou"
        << "aus der Datei"
        << "true";
    QTest::newRow("add: password as a word")
        << (QStringList(add) << "pw") << QByteArray("pw\n") << QByteArray() << 1 << onCommandLine << "zhou"
        << "pw"
        << "false";
    QTest::newRow("add: --password") << (QStringList(add) << "--password"
                                                          << "pw")
                                     << QByteArray("pw\n") << QByteArray() << 1 << onCommandLine << "zhou"
                                     << "pw"
                                     << "false";
    QTest::newRow("add: empty line") << add << QByteArray("\n") << QByteArray() << 1 << "empty password"
                                     << "zhou"
                                     << ""
                                     << "false";
    QTest::newRow("add: nothing on standard input")
        << add << QByteArray() << QByteArray() << 1 << "no password"
        << "zhou"
        << ""
        << "false";
    QTest::newRow("add: empty file") << (QStringList(add) << "--password-file"
                                                          << "FILE")
                                     << QByteArray() << QByteArray() << 1 << "is empty"
                                     << "zhou"
                                     << ""
                                     << "false";
    QTest::newRow("add: no such file")
        << (QStringList(add) << "--password-file"
                             << "/nonexistent/pw")
        << QByteArray("pw\n") << QByteArray() << 1 << "cannot read the password file"
        << "zhou"
        << "pw"
        << "false";
    QTest::newRow("add: longer than 1024 bytes") << add << QByteArray(1025, 'x') + "\n"
                                                 << QByteArray() << 1 << "longer than 1024"
                                                 << "zhou"
                                                 << "x"
                                                 << "false";
    QTest::newRow("passwd: standard input")
        << passwd << QByteArray("neu 1\n") << QByteArray() << 0 << "changed the password of member"
        << "member"
        << "neu 1"
        << "true";
    QTest::newRow("passwd: password file")
        << (QStringList(passwd) << "--password-file"
                                << "FILE")
        << QByteArray() << QByteArray("neu 2") << 0 << "changed the password of member"
        << "member"
        << "neu 2"
        << "true";
    QTest::newRow("passwd: password as a word") << (QStringList(passwd) << "neu") << QByteArray("neu\n")
                                                << QByteArray() << 1 << onCommandLine << "member"
                                                << "member"
                                                << "true";
    QTest::newRow("passwd: empty line")
        << passwd << QByteArray("\r\n") << QByteArray() << 1 << "empty password"
        << "member"
        << "member"
        << "true";
}

void tst_OperatorCommands::passwordsNeverOnTheCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, fileText);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, answer);
    QTemporaryDir dir;
    QFile file(dir.filePath("password"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(fileText) == fileText.size());
    file.close();
    args.replaceInStrings(QRegularExpression("^FILE$"), file.fileName());

    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QString output;
    QCOMPARE(service.runCommandWithInput(args, input, &output), exitCode);
    QVERIFY2(output.contains(message), qPrintable(output));
    auto proxy = ServiceClient::GetWebServiceSoap(service.endpoint());
    QCOMPARE(proxy->yanzheng(account, password), answer);
    if (exitCode != 0 && account == "zhou")
        QCOMPARE(service.querySql("SELECT count(*) FROM UserTable WHERE username='zhou'"),
                 QList<QStringList>({{"0"}}));
}

void tst_OperatorCommands::passwordPromptOnATerminalIsNotEchoed()
{
    ServiceFixture service(false);
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(terminal >= 0);
    QVERIFY(grantpt(terminal) == 0 && unlockpt(terminal) == 0);
    const QByteArray side = ptsname(terminal);
    // Held open here too, so that what the terminal echoes can still be read after the
    // command has ended.
    const int held = ::open(side.constData(), O_RDWR | O_NOCTTY);
    QVERIFY(held >= 0);

    QProcess command;
    command.setStandardInputFile(QString::fromLocal8Bit(side));
    command.start(ServiceFixture::servicePath(), {"user", "add", "wu", "--db", service.dbPath()});
    QVERIFY(command.waitForStarted());
    // Typed only once the prompt shows: echo is off by then, and earlier typing would be
    // discarded when it is turned off.
    QByteArray shown;
    QTRY_VERIFY_WITH_TIMEOUT((shown += command.readAllStandardError()).contains("password: "), 20000);
    QCOMPARE(::write(terminal, "secret wu\n", 10), ssize_t(10));
    QVERIFY(command.waitForFinished(60000));
    QCOMPARE(command.exitCode(), 0);

    fcntl(terminal, F_SETFL, fcntl(terminal, F_GETFL) | O_NONBLOCK);
    char echoed[256];
    const ssize_t length = ::read(terminal, echoed, sizeof echoed);
    QVERIFY2(length <= 0, QByteArray(echoed, int(std::max<ssize_t>(length, 0))).constData());
    // And the terminal echoes again afterwards.
    termios settings{};
    QVERIFY(tcgetattr(held, &settings) == 0);
    QVERIFY(settings.c_lflag & ECHO);
    ::close(held);
    ::close(terminal);
    auto proxy = ServiceClient::GetWebServiceSoap(service.endpoint());
    QCOMPARE(proxy->yanzheng("wu", "secret wu"), QStringLiteral("true"));
}

void tst_OperatorCommands::initMakesAnExistingFileOwnerOnly_data()
{
    QTest::addColumn<bool>("initialised"); // by an earlier init, or an empty file made by hand
    QTest::newRow("an earlier init's file opened to others") << true;
    QTest::newRow("an empty file made by hand") << false;
}

void tst_OperatorCommands::initMakesAnExistingFileOwnerOnly()
{
    QFETCH(bool, initialised);
    if (ServiceFixture::onPostgres())
        QSKIP("a PostgreSQL database's rights are its administrator's");
    QTemporaryDir dir;
    const QString path = dir.filePath("service.db");
    auto init = [&] {
        QProcess command;
        command.start(ServiceFixture::servicePath(), {"init", "--db", path});
        return command.waitForFinished(60000) && command.exitCode() == 0;
    };
    if (initialised)
        QVERIFY(init());
    else
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | others));
    QVERIFY(init());
    QCOMPARE(QFileInfo(path).permissions() & (others | QFile::ReadOwner | QFile::WriteOwner),
             QFile::ReadOwner | QFile::WriteOwner);
    ServiceFixture service(ServiceFixture::ExistingDatabase{path});
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
}

void tst_OperatorCommands::printedTextIsEscaped_data()
{
    QTest::addColumn<QString>("sql"); // plants a value as an anonymous applicant or a script could
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("shown");

    QTest::newRow("applications list")
        << "INSERT INTO NewUser(usetrname, zcmm, zhucetime, shouji) VALUES('fake\n9\troot\x1b[2J', 'h', "
           "'2024-01-01 00:00:00', '1\r2')"
        << QStringList{"applications", "list"} << "fake\\n9\\troot\\x1b[2J\t1\\r2\t2024-01-01 00:00:00";
    QTest::newRow("user list") << "UPDATE UserTable SET username='vi\x1b]0;p\x07p' WHERE id=2"
                               << QStringList{"user", "list"} << "2\tvi\\x1b]0;p\\x07p\t1";
    QTest::newRow("config show") << "UPDATE Sys_pz SET syszjxx='a\x1b[31mb\x7f'"
                                 << QStringList{"config", "show"} << "notice = a\\x1b[31mb\\x7f\n";
    QTest::newRow("approval echo") << "INSERT INTO NewUser(usetrname, zcmm) VALUES('n\x1b[8m', 'h')"
                                   << QStringList{"applications", "approve", "n\x1b[8m"}
                                   << "approved n\\x1b[8m (id";
    QTest::newRow("error message") << "" << QStringList{"user", "remove", "x\x1b[2Jy"}
                                   << "no user x\\x1b[2Jy\n";
}

void tst_OperatorCommands::printedTextIsEscaped()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, args);
    QFETCH(QString, shown);
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    if (!sql.isEmpty())
        QVERIFY(service.execSql(sql));
    QString output;
    service.runCommand(args, &output);
    QVERIFY2(output.contains(shown), qPrintable(output));
    QVERIFY2(!output.contains(QChar(0x1b)), qPrintable(output));
}

QTEST_GUILESS_MAIN(tst_OperatorCommands)
#include "tst_OperatorCommands.moc"
