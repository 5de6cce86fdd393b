#include "PostgresFixture.h"

#include <csignal>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int commandTimeoutMs = 60000;
const char *const owner = "nobody";

const char *const groupConcat =
    "CREATE FUNCTION group_concat_step(acc text, v text) RETURNS text LANGUAGE sql IMMUTABLE AS "
    "$$ SELECT CASE WHEN acc IS NULL THEN v WHEN v IS NULL THEN acc ELSE acc || ',' || v END $$;"
    "CREATE AGGREGATE group_concat(text) (SFUNC = group_concat_step, STYPE = text);";

struct Connection
{
    explicit Connection(const QString &uri) : conn(PQconnectdb(uri.toUtf8().constData()))
    {
        PQsetNoticeProcessor(
            conn, [](void *, const char *) {}, nullptr);
    }
    ~Connection() { PQfinish(conn); }
    bool ok() const { return PQstatus(conn) == CONNECTION_OK; }
    PGconn *conn;
};

} // namespace

PostgresFixture::PostgresFixture()
{
    running_ = init();
    if (!running_)
        qWarning("PostgresFixture: %s", qPrintable(error_));
}

PostgresFixture::~PostgresFixture()
{
    stop();
}

PostgresFixture &PostgresFixture::shared()
{
    static PostgresFixture cluster;
    return cluster;
}

QString PostgresFixture::binDir()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    const auto found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        QString bin = versions.filePath(*it + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

int PostgresFixture::runAsOwner(const QString &program, const QStringList &args, QString *output) const
{
    // initdb and postgres refuse to run as root.
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (geteuid() == 0)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), owner, QStringLiteral("--"), program} + args);
    else
        process.start(program, args);
    process.closeWriteChannel();
    if (!process.waitForFinished(commandTimeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        if (output)
            *output = program + QStringLiteral(" did not finish");
        return -1;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool PostgresFixture::init()
{
    const QString bin = binDir();
    if (bin.isEmpty()) {
        error_ = QStringLiteral("no PostgreSQL server installed (/usr/lib/postgresql/*/bin/initdb)");
        return false;
    }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory");
        return false;
    }
    if (geteuid() == 0) {
        const passwd *user = getpwnam(owner);
        if (!user || chown(QFile::encodeName(dir_.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
            error_ = QStringLiteral("cannot give the cluster directory to ") + owner;
            return false;
        }
    }
    dataDir_ = dir_.filePath(QStringLiteral("data"));
    QString output;
    if (runAsOwner(bin + QStringLiteral("/initdb"),
                   {QStringLiteral("-D"), dataDir_, QStringLiteral("-A"), QStringLiteral("trust"),
                    QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
                    QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")},
                   &output) != 0) {
        error_ = QStringLiteral("initdb failed: ") + output;
        return false;
    }
    if (!start())
        return false;
    watchForCrash();
    // Every database made later is a copy of template1.
    if (!execSql(uri(QStringLiteral("template1")), QString::fromLatin1(groupConcat))) {
        error_ = QStringLiteral("cannot add group_concat to template1");
        return false;
    }
    return true;
}

void PostgresFixture::watchForCrash()
{
    // A test that crashes never runs the destructor: a watcher outside the process stops the
    // cluster and removes its directory once the process is gone, however it ended.
    const QString asOwner =
        geteuid() == 0 ? QStringLiteral("runuser -u ") + owner + QStringLiteral(" -- ") : QString();
    const QString script =
        QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                       "if [ -f '%2/postmaster.pid' ]; then %3'%4/pg_ctl' -D '%2' -m immediate "
                       "stop; fi; rm -rf '%5'")
            .arg(QCoreApplication::applicationPid())
            .arg(dataDir_, asOwner, binDir(), dir_.path());
    QProcess::startDetached(QStringLiteral("sh"), {QStringLiteral("-c"), script});
}

bool PostgresFixture::start()
{
    // Durability is no concern of a test cluster; a socket in the private directory only.
    const QString options = QStringLiteral("-k ") + dir_.path() +
                            QStringLiteral(" -c listen_addresses='' -c fsync=off -c full_page_writes=off "
                                           "-c synchronous_commit=off -c max_connections=200");
    QString output;
    if (runAsOwner(binDir() + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), dataDir_, QStringLiteral("-l"),
                    dir_.filePath(QStringLiteral("log")), QStringLiteral("-w"), QStringLiteral("-t"),
                    QStringLiteral("30"), QStringLiteral("-o"), options, QStringLiteral("start")},
                   &output) != 0) {
        error_ = QStringLiteral("pg_ctl start failed: ") + output;
        return false;
    }
    running_ = true;
    return true;
}

bool PostgresFixture::stop()
{
    if (!running_)
        return true;
    QString output;
    bool stopped =
        runAsOwner(binDir() + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), dataDir_, QStringLiteral("-m"), QStringLiteral("fast"),
                    QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("stop")},
                   &output) == 0;
    if (!stopped)
        error_ = QStringLiteral("pg_ctl stop failed: ") + output;
    running_ = !stopped;
    return stopped;
}

bool PostgresFixture::signalServer(int signal)
{
    // The first line of postmaster.pid is the server's process id; its children are the
    // backends and helpers.
    QFile pidFile(dataDir_ + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("no postmaster.pid");
        return false;
    }
    const QByteArray server = pidFile.readLine().trimmed();
    QProcess children;
    children.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::fromLatin1(server)});
    children.waitForFinished(5000);
    QList<QByteArray> pids = children.readAllStandardOutput().split('\n');
    pids.prepend(server);
    bool all = true;
    for (const QByteArray &pid : pids) {
        if (pid.trimmed().isEmpty())
            continue;
        if (::kill(pid_t(pid.trimmed().toLongLong()), signal) != 0) {
            error_ = QStringLiteral("cannot signal process ") + QString::fromLatin1(pid.trimmed());
            all = false;
        }
    }
    return all;
}

bool PostgresFixture::freeze()
{
    return signalServer(SIGSTOP);
}

bool PostgresFixture::thaw()
{
    return signalServer(SIGCONT);
}

bool PostgresFixture::isRunning() const
{
    return running_;
}

QString PostgresFixture::uri(const QString &database) const
{
    return QStringLiteral("postgresql://postgres@/") + database + QStringLiteral("?host=") + dir_.path();
}

QString PostgresFixture::createDatabase()
{
    QString name = QStringLiteral("svc%1").arg(++databases_);
    if (!execSql(uri(QStringLiteral("postgres")), QStringLiteral("CREATE DATABASE ") + name))
        return {};
    return uri(name);
}

bool PostgresFixture::execSql(const QString &uri, const QString &sql) const
{
    Connection c(uri);
    if (!c.ok()) {
        qWarning("PostgresFixture::execSql: %s", PQerrorMessage(c.conn));
        return false;
    }
    PGresult *result = PQexec(c.conn, sql.toUtf8().constData());
    auto status = PQresultStatus(result);
    bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok)
        qWarning("PostgresFixture::execSql: %s", PQresultErrorMessage(result));
    PQclear(result);
    return ok;
}

QList<QStringList> PostgresFixture::querySql(const QString &uri, const QString &sql) const
{
    QList<QStringList> rows;
    Connection c(uri);
    if (!c.ok()) {
        qWarning("PostgresFixture::querySql: %s", PQerrorMessage(c.conn));
        return rows;
    }
    PGresult *result = PQexec(c.conn, sql.toUtf8().constData());
    if (PQresultStatus(result) == PGRES_TUPLES_OK) {
        for (int r = 0; r < PQntuples(result); ++r) {
            QStringList row;
            for (int col = 0; col < PQnfields(result); ++col)
                row << (PQgetisnull(result, r, col)
                            ? QString()
                            : QString::fromUtf8(PQgetvalue(result, r, col), PQgetlength(result, r, col)));
            rows << row;
        }
    } else {
        qWarning("PostgresFixture::querySql: %s", PQresultErrorMessage(result));
    }
    PQclear(result);
    return rows;
}
