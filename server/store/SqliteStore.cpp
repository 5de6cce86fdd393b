#include "store/SqliteStore.h"

#include "store/SqliteConnection.h"
#include "store/Stream.h"

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

} // namespace

SqliteStore::SqliteStore(std::string path, bool create) : path_(std::move(path))
{
    namespace fs = std::filesystem;
    if (!create && access(path_.c_str(), F_OK) != 0)
        throw std::runtime_error("no database at " + path_ + " (run the init command first)");
    bool created = false;
    if (create) {
        fs::path parent = fs::path(path_).parent_path();
        if (!parent.empty() && fs::create_directories(parent))
            fs::permissions(parent, fs::perms::owner_all);
        created = !fs::exists(path_);
    }
    checkReachable();
    // The database holds password hashes and subscribers' addresses: owner only. SQLite gives
    // its -wal and -shm files the permissions of the database file.
    if (created)
        fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
}

std::unique_ptr<DatabaseConnection> SqliteStore::connect()
{
    return std::make_unique<SqliteConnection>(path_, true);
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
            bool holder = false;
            for (const SqlRow &row : c.query("PRAGMA table_info(userdl)"))
                holder = holder || sqlValueText(row[1].value) == "holderip";
            if (!holder)
                c.script("ALTER TABLE userdl ADD COLUMN holderip TEXT;");
        });
    });
}
