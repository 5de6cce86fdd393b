#include "ServiceFixture.h"

#include "PostgresFixture.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

#include <sqlite3.h>

#include <csignal>

namespace {

// Bounds for the service to start and to stop: generous, since a loaded CI machine is slow.
constexpr int startTimeoutMs = 20000;
constexpr int commandTimeoutMs = 60000;

sqlite3 *openDatabase(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    return db;
}

} // namespace

ServiceFixture::ServiceFixture(bool demo) : ServiceFixture(demo, {}) {}

ServiceFixture::ServiceFixture(bool demo, const QStringList &serveArgs)
{
    if (!start(demo, serveArgs))
        qWarning("ServiceFixture: %s", qPrintable(error_));
}

ServiceFixture::ServiceFixture(const ExistingDatabase &database, const QStringList &serveArgs)
{
    dbPath_ = database.path;
    logPath_ = dir_.filePath(QStringLiteral("service.log"));
    if (!dir_.isValid() || !serve(serveArgs))
        qWarning("ServiceFixture: %s",
                 qPrintable(error_.isEmpty() ? QStringLiteral("no directory") : error_));
}

ServiceFixture::ServiceFixture(const ServiceFixture &sharing, const QStringList &serveArgs)
{
    dbPath_ = sharing.dbPath_;
    logPath_ = dir_.filePath(QStringLiteral("service.log"));
    if (!dir_.isValid() || !serve(serveArgs))
        qWarning("ServiceFixture: %s",
                 qPrintable(error_.isEmpty() ? QStringLiteral("no directory") : error_));
}

ServiceFixture::~ServiceFixture()
{
    stop();
}

int ServiceFixture::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return -1;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(5000);
        return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void ServiceFixture::kill()
{
    process_.kill();
    process_.waitForFinished(10000);
}

bool ServiceFixture::sendSignal(int number)
{
    return process_.state() == QProcess::Running && ::kill(pid_t(process_.processId()), number) == 0;
}

QString ServiceFixture::servicePath()
{
    return QStringLiteral(STOCK_ALERT_SERVICE_PATH);
}

bool ServiceFixture::start(bool demo, const QStringList &serveArgs)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory");
        return false;
    }
    dbPath_ = dir_.filePath(QStringLiteral("service.db"));
    if (onPostgres()) {
        PostgresFixture &cluster = PostgresFixture::shared();
        dbPath_ = cluster.isRunning() ? cluster.createDatabase() : QString();
        if (dbPath_.isEmpty()) {
            error_ = QStringLiteral("no PostgreSQL database: ") + cluster.errorString();
            return false;
        }
    }
    logPath_ = dir_.filePath(QStringLiteral("service.log"));

    QStringList init{QStringLiteral("init")};
    if (demo)
        init << QStringLiteral("--demo");
    QString output;
    if (runCommand(init, &output) != 0) {
        error_ = QStringLiteral("init failed: ") + output;
        return false;
    }
    return serve(serveArgs);
}

bool ServiceFixture::serve(const QStringList &serveArgs)
{
    // The log goes to a file: a pipe nobody reads would fill and block the service.
    process_.setStandardErrorFile(logPath_);
    process_.start(servicePath(), QStringList{QStringLiteral("serve"), QStringLiteral("--listen"),
                                              QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"), dbPath_}
                                      << serveArgs);
    if (!process_.waitForStarted(startTimeoutMs)) {
        error_ =
            QStringLiteral("cannot start ") + servicePath() + QStringLiteral(": ") + process_.errorString();
        return false;
    }
    // The service binds a free port itself and names it on its first line: no race for a port.
    static const QRegularExpression listening(
        QStringLiteral("^listening on (https?://127\\.0\\.0\\.1:(\\d+))"));
    QDeadlineTimer deadline(startTimeoutMs);
    QByteArray seen;
    while (!deadline.hasExpired()) {
        if (process_.canReadLine() || process_.waitForReadyRead(int(deadline.remainingTime()))) {
            while (process_.canReadLine()) {
                QString line = QString::fromUtf8(process_.readLine()).trimmed();
                seen += line.toUtf8() + '\n';
                auto match = listening.match(line);
                if (match.hasMatch()) {
                    host_ = match.captured(1);
                    port_ = quint16(match.captured(2).toUInt());
                    return true;
                }
            }
        }
        if (process_.state() == QProcess::NotRunning)
            break;
    }
    error_ = QStringLiteral("the service did not report its address; output: ") + QString::fromUtf8(seen) +
             QStringLiteral(" log: ") + serverLog();
    return false;
}

bool ServiceFixture::isRunning() const
{
    return port_ != 0 && process_.state() == QProcess::Running;
}

int ServiceFixture::runCommand(const QStringList &args, QString *output) const
{
    return runCommandWithInput(args, QByteArray(), output);
}

int ServiceFixture::runCommandWithInput(const QStringList &args, const QByteArray &input,
                                        QString *output) const
{
    QProcess command;
    command.setProcessChannelMode(QProcess::MergedChannels);
    command.start(servicePath(), QStringList(args) << QStringLiteral("--db") << dbPath_);
    command.write(input);
    command.closeWriteChannel();
    if (!command.waitForFinished(commandTimeoutMs)) {
        command.kill();
        command.waitForFinished();
        if (output)
            *output = QStringLiteral("command did not finish: ") + command.errorString();
        return -1;
    }
    if (output)
        *output = QString::fromUtf8(command.readAll());
    return command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1;
}

bool ServiceFixture::onPostgres()
{
    return qgetenv("STOCK_ALERT_TEST_STORE") == "postgresql";
}

bool ServiceFixture::holdOnlineRecords(const QString &address) const
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return execSql(QStringLiteral("DELETE FROM userdl")) &&
           execSql(
               QStringLiteral("INSERT INTO userdl(userid, userzh, userdqsj, userdlsj, userdlip, holderip) "
                              "SELECT id, username, reachtime, '") +
               now + QStringLiteral("', '") + address + QStringLiteral("', '") + address +
               QStringLiteral("' FROM UserTable"));
}

bool ServiceFixture::execSql(const QString &sql) const
{
    if (onPostgres())
        return PostgresFixture::shared().execSql(dbPath_, sql);
    sqlite3 *db = openDatabase(dbPath_);
    if (!db)
        return false;
    char *message = nullptr;
    int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        qWarning("ServiceFixture::execSql: %s", message ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

QList<QStringList> ServiceFixture::querySql(const QString &sql) const
{
    if (onPostgres())
        return PostgresFixture::shared().querySql(dbPath_, sql);
    QList<QStringList> rows;
    sqlite3 *db = openDatabase(dbPath_);
    if (!db)
        return rows;
    sqlite3_stmt *stmt = nullptr;
    QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                row << (value ? QString::fromUtf8(value, sqlite3_column_bytes(stmt, c)) : QString());
            }
            rows << row;
        }
    } else {
        qWarning("ServiceFixture::querySql: %s", sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

QString ServiceFixture::serverLog() const
{
    QFile log(logPath_);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll());
}
