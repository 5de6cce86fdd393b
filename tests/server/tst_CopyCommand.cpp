// The copy from an SQLite file into a new database (SQLite, or PostgreSQL with
// STOCK_ALERT_TEST_STORE=postgresql) when the file is not what the service made: names that
// hold SQL, rows the target cannot take, an earlier version's schema. The file is only read.
#include "ServiceClient.h"
#include "ServiceFixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

namespace {

// A source made as an operator would (init --demo), then changed by sql.
bool makeSource(const QString &path, const QString &sql)
{
    QProcess init;
    init.start(ServiceFixture::servicePath(), {"init", "--demo", "--db", path});
    if (!init.waitForFinished(60000) || init.exitCode() != 0)
        return false;
    sqlite3 *db = nullptr;
    bool opened = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
                  SQLITE_OK;
    char *message = nullptr;
    bool changed =
        opened && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK;
    if (message)
        qWarning("makeSource: %s", message);
    sqlite3_free(message);
    sqlite3_close(db);
    return changed;
}

struct FileState
{
    QByteArray sha256;
    timespec modified{};
    bool operator==(const FileState &other) const
    {
        return sha256 == other.sha256 && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileState stateOf(const QString &path)
{
    FileState state;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        state.sha256 = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        state.modified = status.st_mtim;
    return state;
}

} // namespace

class tst_CopyCommand : public QObject
{
    Q_OBJECT

private slots:
    void columnNamesInTheFileRunNothing();
    void rowsTheTargetCannotTakeAreNamed_data();
    void rowsTheTargetCannotTakeAreNamed();
    void sourceIsOnlyRead();
    void refusedWholeChangesNothing_data();
    void refusedWholeChangesNothing();

private:
    QTemporaryDir dir_;
};

void tst_CopyCommand::columnNamesInTheFileRunNothing()
{
    // A column name that, pasted into an INSERT, would end the column list and insert rows
    // of its own choosing instead of the file's.
    const QString source = dir_.filePath("crafted.db");
    QVERIFY(makeSource(
        source, "ALTER TABLE Tuijiangupiao RENAME COLUMN czly TO \"czly, XinXiDJ) SELECT max(id) + 1, "
                "'2020-01-01 00:00:00', 'evil', 'evil', 'evil', 'evil', 1 FROM Tuijiangupiao --\";"
                "ALTER TABLE UserTable ADD COLUMN \"userpas) VALUES('x', 'y'); DROP TABLE spzx; --\" TEXT;"));
    ServiceFixture target(false);
    QVERIFY2(target.isRunning(), qPrintable(target.errorString()));
    QString output;
    QCOMPARE(target.runCommand({"copy", "--from", source}, &output), 0);

    QCOMPARE(target.querySql("SELECT count(*) FROM Tuijiangupiao WHERE jg = 'evil'"),
             QList<QStringList>({{"0"}}));
    // The rows themselves came, in the columns the file has under their own names; the
    // renamed one is not among them.
    QCOMPARE(target.querySql("SELECT count(*), count(czly), min(gupiaodaima) FROM Tuijiangupiao"),
             QList<QStringList>({{"7", "0", "000001"}}));
    QCOMPARE(target.querySql("SELECT count(*) FROM spzx"), QList<QStringList>({{"3"}}));
    auto proxy = ServiceClient::GetWebServiceSoap(target.endpoint());
    QCOMPARE(proxy->yanzheng("vip", "vip"), QStringLiteral("true"));
}

void tst_CopyCommand::rowsTheTargetCannotTakeAreNamed_data()
{
    QTest::addColumn<QString>("sql");      // makes the bad row in the source
    QTest::addColumn<QString>("report");   // the line on standard error
    QTest::addColumn<QString>("count");    // rows of the bad row's table in the target
    QTest::addColumn<QString>("expected"); // all but the bad one
    QTest::addColumn<QString>("other");    // another table, copied whole
    QTest::addColumn<QString>("otherRows");

    QTest::newRow("bytes that are no UTF-8")
        << "UPDATE spzx SET zxnr = CAST(X'e4b8ff41' AS TEXT) WHERE id = 2"
        << "left out spzx id 2: zxnr holds invalid UTF-8 bytes"
        << "SELECT count(*) FROM spzx"
        << "2"
        << "SELECT count(*) FROM smjm"
        << "1";
    QTest::newRow("a word where a level belongs") << "UPDATE UserTable SET UserDJ = 'high' WHERE id = 1"
                                                  << "left out UserTable id 1: UserDJ holds no whole number"
                                                  << "SELECT count(*) FROM UserTable"
                                                  << "2"
                                                  << "SELECT count(*) FROM Tuijiangupiao"
                                                  << "7";
    QTest::newRow("a fraction where a count belongs")
        << "UPDATE ChangeCounter SET added = 2.5 WHERE stream = 'spzx' AND level = 3"
        << "left out ChangeCounter stream/level spzx/3: added holds no whole number"
        << "SELECT count(*) FROM ChangeCounter"
        << "7"
        << "SELECT count(*) FROM UserTable"
        << "3";
    QTest::newRow("no date-time where one belongs")
        << "UPDATE UserTable SET reachtime = 'someday' WHERE id = 3"
        << "left out UserTable id 3: reachtime holds no date-time"
        << "SELECT count(*) FROM UserTable"
        << "2"
        << "SELECT count(*) FROM spzx"
        << "3";
    QTest::newRow("no flag where one belongs")
        << "INSERT INTO Sys_pz(id, gpsysname, yhqyhyfj) VALUES(2, 'second', 'maybe')"
        << "left out Sys_pz id 2: yhqyhyfj holds neither true nor false"
        << "SELECT count(*) FROM Sys_pz"
        << "1"
        << "SELECT count(*) FROM UserTable"
        << "3";
    // Refused by the target itself: the statement fails inside the copy's transaction, which
    // must go on.
    QTest::newRow("a name twice where names are unique")
        << "DROP TABLE Operator; CREATE TABLE Operator(id INTEGER PRIMARY KEY, name TEXT, passhash TEXT, "
           "created DATETIME); INSERT INTO Operator VALUES(1, 'wang', 'h', '2024-01-01 00:00:00'), "
           "(2, 'wang', 'h', '2024-01-02 00:00:00'), (3, 'li', 'h', '2024-01-03 00:00:00'); "
           "INSERT INTO OperatorAudit(actedAt, operatorName, address, action) "
           "VALUES('2024-01-03 00:00:00', 'li', '127.0.0.1', 'x')"
        << "left out Operator id 2: "
        << "SELECT count(*) FROM Operator"
        << "2"
        << "SELECT count(*) FROM OperatorAudit"
        << "1";
    // Rows go in by the thousand: the one refused among them is the only one missing.
    QTest::newRow("a refused name among thousands")
        << "DROP TABLE Operator; CREATE TABLE Operator(id INTEGER PRIMARY KEY, name TEXT, passhash TEXT, "
           "created DATETIME); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
           "2500) "
           "INSERT INTO Operator SELECT i, CASE WHEN i = 1700 THEN 'op1' ELSE 'op' || i END, 'h', "
           "'2024-01-01 00:00:00' FROM n"
        << "left out Operator id 1700: the target refused it"
        << "SELECT count(*) FROM Operator"
        << "2499"
        << "SELECT count(*) FROM Operator WHERE id IN (1, 1000, 1001, 1699, 1701, 2000, 2001, 2500)"
        << "8";
}

void tst_CopyCommand::rowsTheTargetCannotTakeAreNamed()
{
    QFETCH(QString, sql);
    QFETCH(QString, report);
    QFETCH(QString, count);
    QFETCH(QString, expected);
    QFETCH(QString, other);
    QFETCH(QString, otherRows);
    const QString source = dir_.filePath(QString("bad-%1.db").arg(QTest::currentDataTag()));
    QVERIFY(makeSource(source, sql));
    ServiceFixture target(false);
    QVERIFY2(target.isRunning(), qPrintable(target.errorString()));

    QString output;
    QCOMPARE(target.runCommand({"copy", "--from", source}, &output), 3);
    QVERIFY2(output.contains(report), qPrintable(output));
    QVERIFY2(output.contains("copied all but 1 row(s)"), qPrintable(output));
    QCOMPARE(output.count("left out "), 1);
    QCOMPARE(target.querySql(count), QList<QStringList>({{expected}}));
    QCOMPARE(target.querySql(other), QList<QStringList>({{otherRows}}));
}

void tst_CopyCommand::sourceIsOnlyRead()
{
    // A file of an earlier version: no holder column, none of the later tables. It is copied
    // as it is, not upgraded.
    const QString source = dir_.filePath("earlier.db");
    QVERIFY(makeSource(source, "ALTER TABLE userdl DROP COLUMN holderip; DROP TABLE PasswordProof; "
                               "DROP TABLE LoginFailure; DROP TABLE Operator; DROP TABLE OperatorAudit; "
                               "INSERT INTO userdl(userid, userzh, userdlsj, userdlip) "
                               "VALUES(2, 'vip', '2024-01-01 00:00:00', '10.0.0.9')"));
    QVERIFY(QFile::setPermissions(source, QFile::ReadOwner));
    const FileState before = stateOf(source);
    QVERIFY(!before.sha256.isEmpty());

    ServiceFixture target(false);
    QVERIFY2(target.isRunning(), qPrintable(target.errorString()));
    QString output;
    QCOMPARE(target.runCommand({"copy", "--from", source}, &output), 0);
    QVERIFY2(stateOf(source) == before, "the source file changed");

    QCOMPARE(target.querySql("SELECT userid, userdlip, holderip FROM userdl"),
             QList<QStringList>({{"2", "10.0.0.9", ""}}));
    QCOMPARE(target.querySql("SELECT count(*) FROM Operator"), QList<QStringList>({{"0"}}));
    auto proxy = ServiceClient::GetWebServiceSoap(target.endpoint());
    QCOMPARE(proxy->yanzheng("demo", "demo"), QStringLiteral("true"));
}

void tst_CopyCommand::refusedWholeChangesNothing_data()
{
    QTest::addColumn<QString>("sql");  // makes the source ("": none is made)
    QTest::addColumn<QString>("from"); // "SOURCE": the file made; "TARGET": the target itself
    QTest::addColumn<QString>("message");
    QTest::newRow("a view where a table belongs") << "DROP TABLE smjm; CREATE VIEW smjm AS SELECT * FROM smnc"
                                                  << "SOURCE"
                                                  << "the source's smjm is not a table";
    QTest::newRow("no such file") << ""
                                  << "SOURCE"
                                  << "cannot open database";
    QTest::newRow("a PostgreSQL database") << ""
                                           << "postgresql://nobody@localhost/none"
                                           << "pg_dump";
    QTest::newRow("the target itself") << ""
                                       << "TARGET"
                                       << "same file";
}

void tst_CopyCommand::refusedWholeChangesNothing()
{
    QFETCH(QString, sql);
    QFETCH(QString, from);
    QFETCH(QString, message);
    if (from == "TARGET" && ServiceFixture::onPostgres())
        QSKIP("the target is no file");
    const QString source = dir_.filePath(QString("refused-%1.db").arg(QTest::currentDataTag()));
    if (!sql.isEmpty())
        QVERIFY(makeSource(source, sql));
    ServiceFixture target(false);
    QVERIFY2(target.isRunning(), qPrintable(target.errorString()));
    QString output;
    const QString named = from == "SOURCE" ? source : from == "TARGET" ? target.dbPath() : from;
    QCOMPARE(target.runCommand({"copy", "--from", named}, &output), 1);
    QVERIFY2(output.contains(message), qPrintable(output));
    // One transaction: the tables before the refusal did not come either.
    QCOMPARE(
        target.querySql("SELECT (SELECT count(*) FROM UserTable) + (SELECT count(*) FROM Tuijiangupiao)"),
        QList<QStringList>({{"0"}}));
}

QTEST_GUILESS_MAIN(tst_CopyCommand)
#include "tst_CopyCommand.moc"
