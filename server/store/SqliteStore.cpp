#include "store/SqliteStore.h"

#include "store/SqliteChangeWatch.h"
#include "store/SqliteConnection.h"
#include "store/Stream.h"

#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace {

const char *const schema = R"SQL(
CREATE TABLE IF NOT EXISTS Sys_pz(
    id INTEGER PRIMARY KEY, gpsysname TEXT, syszjxx TEXT, kfqq TEXT, yhqyhyfj BOOLEAN, ifctzqd BOOLEAN,
    hqurl TEXT, khdsxsj INTEGER, sytsxx TEXT);
CREATE TABLE IF NOT EXISTS Sys_url(
    id INTEGER PRIMARY KEY, yjglmc TEXT, smncmc TEXT, xwzxmc TEXT, xwzxurl TEXT, sshqmc TEXT, sshqurl TEXT,
    jzpgmc TEXT, jzpgurl TEXT, ggdamc TEXT, ggdaurl TEXT, dpzjmc TEXT, dpzjurl TEXT, yjbgmc TEXT, yjbgurl TEXT);
CREATE TABLE IF NOT EXISTS UserTable(
    id INTEGER PRIMARY KEY, username TEXT NOT NULL UNIQUE, userpas TEXT NOT NULL,
    UserDJ INTEGER NOT NULL DEFAULT 3, reachtime DATETIME);
CREATE TABLE IF NOT EXISTS NewUser(
    id INTEGER PRIMARY KEY, usetrname TEXT NOT NULL UNIQUE, zcmm TEXT NOT NULL, zhucetime DATETIME, shouji TEXT);
CREATE TABLE IF NOT EXISTS userdl(
    userid INTEGER PRIMARY KEY, userzh TEXT, userpas TEXT, userdqsj DATETIME, userdlsj DATETIME, userdlip TEXT);
CREATE TABLE IF NOT EXISTS Tuijiangupiao(
    id INTEGER PRIMARY KEY AUTOINCREMENT, nowtime DATETIME NOT NULL, gupiaodaima TEXT, jg TEXT, czfs TEXT,
    czly TEXT, XinXiDJ INTEGER NOT NULL DEFAULT 3);
CREATE TABLE IF NOT EXISTS spzx(
    id INTEGER PRIMARY KEY AUTOINCREMENT, nowtime DATETIME NOT NULL, zxlx TEXT, zxnr TEXT,
    XinXiDJ INTEGER NOT NULL DEFAULT 3);
CREATE TABLE IF NOT EXISTS smnc(
    id INTEGER PRIMARY KEY AUTOINCREMENT, nowtime DATETIME NOT NULL, bt TEXT NOT NULL, nr TEXT,
    XinXiDJ INTEGER NOT NULL DEFAULT 3);
CREATE TABLE IF NOT EXISTS smjm(
    id INTEGER PRIMARY KEY AUTOINCREMENT, nowtime DATETIME NOT NULL, bt TEXT NOT NULL, nr TEXT,
    XinXiDJ INTEGER NOT NULL DEFAULT 3);
CREATE INDEX IF NOT EXISTS Tuijiangupiao_nowtime ON Tuijiangupiao(nowtime);
CREATE INDEX IF NOT EXISTS spzx_nowtime ON spzx(nowtime);
CREATE TABLE IF NOT EXISTS ChangeCounter(
    stream TEXT NOT NULL, level INTEGER NOT NULL, added INTEGER NOT NULL DEFAULT 0,
    revised INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(stream, level)) WITHOUT ROWID;
)SQL";

// Counting triggers of one stream table. A revision counts for the old and the new level,
// since moving an item between levels changes what both see; a removal is a revision too.
std::string counterTriggers(const std::string &table, const std::string &stream)
{
    auto bump = [&](const std::string &level, const std::string &column) {
        return "INSERT INTO ChangeCounter(stream, level, " + column + ") SELECT '" + stream + "', " + level +
               ", 1 WHERE 1 ON CONFLICT(stream, level) DO UPDATE SET " + column + " = " + column + " + 1;\n";
    };
    return "CREATE TRIGGER IF NOT EXISTS " + table + "_added AFTER INSERT ON " + table + " BEGIN\n" +
           bump("NEW.XinXiDJ", "added") + "END;\n" + "CREATE TRIGGER IF NOT EXISTS " + table +
           "_revised AFTER UPDATE ON " + table + " BEGIN\n" + bump("NEW.XinXiDJ", "revised") +
           "INSERT INTO ChangeCounter(stream, level, revised) SELECT '" + stream +
           "', OLD.XinXiDJ, 1 WHERE OLD.XinXiDJ IS NOT NEW.XinXiDJ ON CONFLICT(stream, level) DO UPDATE SET "
           "revised = revised + 1;\nEND;\n" +
           "CREATE TRIGGER IF NOT EXISTS " + table + "_removed AFTER DELETE ON " + table + " BEGIN\n" +
           bump("OLD.XinXiDJ", "revised") + "END;\n";
}

void ownerOnly(const std::string &file)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::exists(file, error))
        return;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, error);
    if (error)
        throw std::runtime_error("cannot make " + file + " readable by its owner only: " + error.message());
}

} // namespace

SqliteStore::SqliteStore(std::string path, bool create) : path_(std::move(path))
{
    namespace fs = std::filesystem;
    if (!create && access(path_.c_str(), F_OK) != 0)
        throw std::runtime_error("no database at " + path_ + " (run the init command first)");
    if (create) {
        fs::path parent = fs::path(path_).parent_path();
        if (!parent.empty() && fs::create_directories(parent))
            fs::permissions(parent, fs::perms::owner_all);
    }
    checkReachable();
    // The database holds password hashes and subscribers' addresses: owner only, whether this
    // made the file or found it (made by hand, copied in with other rights). SQLite gives its
    // -wal and -shm files the permissions of the database file; ones already there are set
    // the same.
    if (create)
        for (const char *suffix : {"", "-wal", "-shm"})
            ownerOnly(path_ + suffix);
}

std::unique_ptr<DatabaseConnection> SqliteStore::connect()
{
    return std::make_unique<SqliteConnection>(path_, SqliteConnection::Mode::Create);
}

std::unique_ptr<ChangeWatch> SqliteStore::watchChanges()
{
    return std::make_unique<SqliteChangeWatch>(path_);
}

void SqliteStore::createSchema()
{
    with([](DatabaseConnection &c) {
        c.transaction([&] {
            c.script(schema);
            for (const Stream &stream : Stream::all())
                c.script(counterTriggers(stream.table, stream.counter));
        });
    });
    upgradeSchema();
}

void SqliteStore::upgradeSchema()
{
    with([](DatabaseConnection &c) {
        c.transaction([&] {
            // provedAt in seconds since the epoch: a clock change of the local zone must
            // not stretch or shorten the window.
            c.script(
                "CREATE TABLE IF NOT EXISTS PasswordProof(userid INTEGER NOT NULL, address TEXT NOT NULL, "
                "provedAt INTEGER NOT NULL, PRIMARY KEY(userid, address)) WITHOUT ROWID;");
            c.script(
                "CREATE TABLE IF NOT EXISTS LoginFailure(address TEXT PRIMARY KEY, forgivenAt REAL NOT NULL) "
                "WITHOUT ROWID;\n"
                "CREATE INDEX IF NOT EXISTS LoginFailure_forgivenAt ON LoginFailure(forgivenAt);");
            c.script("CREATE TABLE IF NOT EXISTS Operator(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
                     "passhash TEXT NOT NULL, created DATETIME);\n"
                     "CREATE TABLE IF NOT EXISTS OperatorAudit(id INTEGER PRIMARY KEY AUTOINCREMENT, actedAt "
                     "DATETIME NOT "
                     "NULL, operatorName TEXT NOT NULL, address TEXT NOT NULL, action TEXT NOT NULL);");
            bool holder = false;
            for (const SqlRow &row : c.query("PRAGMA table_info(userdl)"))
                holder = holder || sqlValueText(row[1].value) == "holderip";
            if (!holder)
                c.script("ALTER TABLE userdl ADD COLUMN holderip TEXT;");
        });
    });
}

namespace {

// Closes a handle sqlite3_open_v2 gave, even one it gave with an error.
struct SqliteHandle
{
    sqlite3 *db = nullptr;
    ~SqliteHandle() { sqlite3_close(db); }
    void open(const std::string &path, int flags)
    {
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path + ": " + sqlite3_errmsg(db));
        sqlite3_busy_timeout(db, 10000);
    }
};

} // namespace

void SqliteStore::backupTo(const std::string &file)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (fs::equivalent(file, path_, ignored))
        throw std::runtime_error("the backup must go to another file than the database");
    // Written beside the target and renamed at the end: a backup cut short never looks whole.
    std::string partial = file + ".partial";
    fs::remove(partial, ignored);
    {
        SqliteHandle source, target;
        source.open(path_, SQLITE_OPEN_READONLY);
        target.open(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write, ignored);
        sqlite3_backup *backup = sqlite3_backup_init(target.db, "main", source.db, "main");
        if (!backup)
            throw std::runtime_error(std::string("cannot start the backup: ") + sqlite3_errmsg(target.db));
        // All pages in one step: one read transaction, so the copy is the database at one
        // moment; in WAL mode writers go on meanwhile.
        int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE) {
            fs::remove(partial, ignored);
            throw std::runtime_error(std::string("backup failed: ") + sqlite3_errstr(rc));
        }
        // The copy stands on its own: no -wal file beside it.
        sqlite3_exec(target.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    }
    fs::rename(partial, file);
}
