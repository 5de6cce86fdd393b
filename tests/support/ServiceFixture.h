#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Starts a real stock-alert-service on a free loopback port with a fresh database, for tests
// that talk to the service over HTTP, and stops it (SIGTERM) when destroyed.
//
//     ServiceFixture service;                 // demo data; ServiceFixture(false): the initial settings only
//     QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
//     auto proxy = ServiceClient::GetWebServiceSoap(service.endpoint());
//
// Demo data ("init --demo"), which tests may rely on:
// - Sys_pz (one row): gpsysname "智能股票预警系统", syszjxx "欢迎使用智能股票预警系统！预警信息仅供参考，
//   股市有风险，投资需谨慎。", kfqq "800012345", yhqyhyfj true (tiering on), ifctzqd false,
//   hqurl host()+"/pages/news.html", khdsxsj 5 (poll period in seconds), sytsxx a two-line prompt
//   "演示账号：demo/demo、vip/vip、member/member。\n如需开通正式账号请联系客服。".
// - Sys_url (one row): yjglmc "预警管理", smncmc "私募内参", and the six pages
//   xwzxmc "新闻资讯" /pages/news.html, sshqmc "实时行情" /pages/quotes.html,
//   jzpgmc "价值评估" /pages/valuation.html, ggdamc "个股档案" /pages/profiles.html,
//   dpzjmc "大盘资金" /pages/funds.html, yjbgmc "研究报告" /pages/research.html.
//   Addresses stored as "/pages/..." are answered as absolute addresses on host().
//   Each page links to the others; one link has target="_blank".
// - UserTable: demo/demo id 1 level 2, vip/vip id 2 level 1, member/member id 3 level 3,
//   reachtime 2099-12-31 for all. Passwords are stored hashed; hqdlyhxx returns the password
//   the request carried.
// - Tuijiangupiao (stock-pool alerts), ids in publishing order: 1 601318 中国平安 买入 level 3
//   three days ago; 2 000858 五粮液 卖出 level 2 two days ago; 3 600519 贵州茅台 加仓 level 1
//   yesterday; 4 000001 平安银行 买入 level 3 yesterday; today at 00:00:01-03:
//   5 300750 宁德时代 买入 level 3, 6 600036 招商银行 持有 level 2, 7 002594 比亚迪 减仓 level 1.
// - spzx (live news): 1 yesterday level 3; today 2 政策 level 3 and 3 板块 level 2.
// - smnc (insider news): 1 yesterday level 3 "私募观点：二季度关注消费复苏";
//   2 today level 2 "内参：银行股分红行情提前启动". smjm (secret news): 1 today level 3
//   "绝密：某机构调研纪要".
// - So ifchangetable(2) starts as "5,0,2,0,<today> 00:00:01,"内参：银行股分红行情提前启动",1,0,
//   <today> 00:00:01,"绝密：某机构调研纪要",3,0" (counts of items at levels 2 and 3).
// "Today" is the service's local date at the time of init.
//
// With STOCK_ALERT_TEST_STORE=postgresql in the environment the database is a fresh one in
// the process's private PostgreSQL cluster (PostgresFixture) instead of an SQLite file:
// dbPath() is then its connection URI, and execSql/querySql run on it.
class ServiceFixture
{
public:
    explicit ServiceFixture(bool demo = true);
    // With further options for "serve", e.g. {"--demo-feed", "1"}.
    ServiceFixture(bool demo, const QStringList &serveArgs);
    // A service on a database file made elsewhere (no init), e.g. one restored from a backup.
    struct ExistingDatabase
    {
        QString path;
    };
    explicit ServiceFixture(const ExistingDatabase &database, const QStringList &serveArgs = {});
    // One more service on the database of another (no init): instances that share it.
    ServiceFixture(const ServiceFixture &sharing, const QStringList &serveArgs);
    ~ServiceFixture();
    ServiceFixture(const ServiceFixture &) = delete;
    ServiceFixture &operator=(const ServiceFixture &) = delete;

    bool isRunning() const;
    // Stops the service with SIGTERM; returns its exit code, or -1 when it had to be killed
    // or did not end normally.
    int stop();
    // Ends the service at once (SIGKILL), as the loss of its machine would.
    void kill();
    // Sends a signal to the service (SIGHUP: read the certificate again); false when it is
    // not running.
    bool sendSignal(int number);
    QString errorString() const { return error_; }

    QString host() const { return host_; } // "http://127.0.0.1:PORT" (https:// given --tls-cert)
    QString endpoint() const { return host_ + QStringLiteral("/WebService.asmx"); }
    quint16 port() const { return port_; }
    QString dbPath() const { return dbPath_; } // a file, or a postgresql:// URI
    // Whether the tests of this process run against PostgreSQL (see above).
    static bool onPostgres();

    // Runs an operator command on this database (--db is added); returns its exit code, or
    // -1 when it could not run. output receives standard output and standard error.
    int runCommand(const QStringList &args, QString *output = nullptr) const;
    // The same with input written to its standard input (a password, one line).
    int runCommandWithInput(const QStringList &args, const QByteArray &input,
                            QString *output = nullptr) const;
    // Makes the address hold every account's online record, signed in now, as signed-in
    // clients there would: the service then shows that address every paid level and takes
    // its account writes. (Tests that set the client's level themselves need this.)
    bool holdOnlineRecords(const QString &address = QStringLiteral("127.0.0.1")) const;
    // Raw SQL on the database, for states the service itself never makes.
    bool execSql(const QString &sql) const;
    // Rows of a query, each value as text (NULL as an empty string).
    QList<QStringList> querySql(const QString &sql) const;

    // What the service wrote to standard error so far (one line per request).
    QString serverLog() const;

    static QString servicePath();

private:
    bool start(bool demo, const QStringList &serveArgs);
    bool serve(const QStringList &serveArgs);

    QTemporaryDir dir_;
    QProcess process_;
    QString dbPath_;
    QString logPath_;
    QString host_;
    quint16 port_ = 0;
    QString error_;
};
