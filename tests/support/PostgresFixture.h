#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private PostgreSQL cluster for tests: initdb and pg_ctl of Debian's postgresql package
// in a temporary directory, reached through a socket in that directory only (no TCP port, so
// nothing on the machine can clash with it), run as "nobody" when the tests run as root. It
// is stopped and removed when the fixture ends.
//
//     PostgresFixture &cluster = PostgresFixture::shared(); // one per test process
//     QVERIFY2(cluster.isRunning(), qPrintable(cluster.errorString()));
//     QString uri = cluster.createDatabase();                // "postgresql://postgres@/svc3?host=..."
//
// Every database made here also has group_concat(text), so that a test's checking query can
// be written once for both stores.
class PostgresFixture
{
public:
    PostgresFixture();
    ~PostgresFixture();
    PostgresFixture(const PostgresFixture &) = delete;
    PostgresFixture &operator=(const PostgresFixture &) = delete;

    static PostgresFixture &shared();
    // The directory of Debian's PostgreSQL programs, or empty when none is installed.
    static QString binDir();

    bool isRunning() const;
    QString errorString() const { return error_; }

    // A new empty database; returns its connection URI, or empty on failure.
    QString createDatabase();
    QString uri(const QString &database) const;

    // Stops the cluster (fast shutdown: connections are cut) and starts it again.
    bool stop();
    bool start();
    // Stops (SIGSTOP) or resumes (SIGCONT) the server and every process of it, as a hung
    // database machine would: connections stay open, nothing answers.
    bool freeze();
    bool thaw();

    bool execSql(const QString &uri, const QString &sql) const;
    QList<QStringList> querySql(const QString &uri, const QString &sql) const;

private:
    bool init();
    void watchForCrash();
    bool signalServer(int signal);
    int runAsOwner(const QString &program, const QStringList &args, QString *output = nullptr) const;

    QTemporaryDir dir_;
    QString dataDir_;
    bool running_ = false;
    int databases_ = 0;
    QString error_;
};
