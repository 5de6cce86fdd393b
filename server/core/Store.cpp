#include "Store.h"

#include "DateTimeText.h"
#include "PasswordHash.h"

#include <ctime>
#include <set>
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

const std::set<std::string> streamTables = {"Tuijiangupiao", "spzx", "smnc", "smjm"};

const std::set<std::string> &columnsOf(const std::string &table)
{
    static const std::set<std::string> stock = {"nowtime", "gupiaodaima", "jg", "czfs", "czly"};
    static const std::set<std::string> news = {"nowtime", "zxlx", "zxnr"};
    static const std::set<std::string> insider = {"nowtime", "bt", "nr"};
    if (table == "Tuijiangupiao")
        return stock;
    if (table == "spzx")
        return news;
    if (streamTables.count(table))
        return insider;
    throw std::runtime_error("unknown stream table " + table);
}

std::string checkedTime(const std::string &value)
{
    auto time = DateTimeText::normalise(value);
    if (!time)
        throw std::runtime_error("not a date-time (yyyy-mm-dd hh:mm:ss): " + value);
    return *time;
}

} // namespace

Store::Store(std::string path, bool create) : path_(std::move(path))
{
    if (!create && access(path_.c_str(), F_OK) != 0)
        throw std::runtime_error("no database at " + path_ + " (run the init command first)");
    // Opening once up front reports a missing or unreadable file at start, not at the first request.
    Lease lease(*this);
    if (create)
        lease.connection->script("PRAGMA journal_mode=WAL;");
}

Store::~Store() = default;

Store::Lease::Lease(Store &s) : store(s)
{
    {
        std::lock_guard lock(store.mutex_);
        if (!store.idle_.empty()) {
            connection = std::move(store.idle_.back());
            store.idle_.pop_back();
            return;
        }
    }
    connection = std::make_unique<Connection>(store.path_, true);
}

Store::Lease::~Lease()
{
    std::lock_guard lock(store.mutex_);
    store.idle_.push_back(std::move(connection));
}

void Store::upgradeSchema()
{
    with([](Connection &c) {
        c.script("BEGIN IMMEDIATE;");
        try {
            // provedAt in seconds since the epoch: a clock change of the local zone must
            // not stretch or shorten the window.
            c.script(
                "CREATE TABLE IF NOT EXISTS PasswordProof(userid INTEGER NOT NULL, address TEXT NOT NULL, "
                "provedAt INTEGER NOT NULL, PRIMARY KEY(userid, address)) WITHOUT ROWID;");
            bool holder = false;
            for (const SqlRow &row : c.query("PRAGMA table_info(userdl)"))
                holder = holder || sqlValueText(row[1].value) == "holderip";
            if (!holder)
                c.script("ALTER TABLE userdl ADD COLUMN holderip TEXT;");
            c.script("COMMIT;");
        } catch (...) {
            c.script("ROLLBACK;");
            throw;
        }
    });
}

void Store::recordProof(std::int64_t id, const std::string &address)
{
    std::int64_t now = std::int64_t(time(nullptr));
    with([&](Connection &c) {
        c.execute("INSERT INTO PasswordProof(userid, address, provedAt) VALUES(?1, ?2, ?3) "
                  "ON CONFLICT(userid, address) DO UPDATE SET provedAt=excluded.provedAt",
                  {id, address, now});
        c.execute("DELETE FROM PasswordProof WHERE provedAt<?1", {now - proofSeconds});
    });
}

void Store::createSchema()
{
    with([](Connection &c) {
        c.script("BEGIN;");
        try {
            c.script(schema);
            c.script(counterTriggers("Tuijiangupiao", "gptj") + counterTriggers("spzx", "spzx") +
                     counterTriggers("smnc", "smnc") + counterTriggers("smjm", "smjm"));
            c.script("COMMIT;");
        } catch (...) {
            c.script("ROLLBACK;");
            throw;
        }
    });
    upgradeSchema();
}

std::optional<Store::Account> Store::verify(const std::string &username, const std::string &password)
{
    auto rows = with([&](Connection &c) {
        return c.query("SELECT id, username, userpas, reachtime, UserDJ FROM UserTable WHERE username=?1",
                       {username});
    });
    if (rows.empty()) {
        PasswordHash::burn(password);
        return std::nullopt;
    }
    const SqlRow &row = rows.front();
    if (!PasswordHash::verify(password, sqlValueText(row[2].value)))
        return std::nullopt;
    Account account;
    account.id = std::get<std::int64_t>(row[0].value);
    account.username = sqlValueText(row[1].value);
    account.reachtime = sqlValueText(row[3].value);
    if (auto *level = std::get_if<std::int64_t>(&row[4].value))
        account.level = *level;
    return account;
}

std::int64_t Store::addUser(const std::string &username, const std::string &password, int level,
                            const std::string &reachtime)
{
    std::string until = checkedTime(reachtime);
    std::string hashed = PasswordHash::hash(password);
    return with([&](Connection &c) {
        try {
            c.execute("INSERT INTO UserTable(username, userpas, UserDJ, reachtime) VALUES(?1, ?2, ?3, ?4)",
                      {username, hashed, std::int64_t(level), until});
        } catch (const ConstraintError &) {
            throw std::runtime_error("user " + username + " exists already");
        }
        return c.lastInsertId();
    });
}

void Store::removeUser(const std::string &username)
{
    with([&](Connection &c) {
        auto id = c.scalar("SELECT id FROM UserTable WHERE username=?1", {username});
        if (!id)
            throw std::runtime_error("no user " + username);
        c.execute("DELETE FROM userdl WHERE userid=?1", {*id});
        c.execute("DELETE FROM UserTable WHERE id=?1", {*id});
    });
}

void Store::setPassword(const std::string &username, const std::string &password)
{
    std::string hashed = PasswordHash::hash(password);
    with([&](Connection &c) {
        if (c.execute("UPDATE UserTable SET userpas=?1 WHERE username=?2", {hashed, username}) == 0)
            throw std::runtime_error("no user " + username);
    });
}

std::vector<SqlRow> Store::listUsers()
{
    return with([](Connection &c) {
        return c.query(
            "SELECT u.id, u.username, u.UserDJ, u.reachtime, d.userdlsj, d.userdlip FROM UserTable u "
            "LEFT JOIN userdl d ON d.userid = u.id ORDER BY u.id");
    });
}

std::vector<SqlRow> Store::listApplications()
{
    return with([](Connection &c) {
        return c.query("SELECT id, usetrname, shouji, zhucetime FROM NewUser ORDER BY id");
    });
}

std::int64_t Store::approveApplication(const std::string &username, int level, const std::string &reachtime)
{
    std::string until = checkedTime(reachtime);
    return with([&](Connection &c) {
        c.script("BEGIN IMMEDIATE;");
        try {
            auto hashed = c.scalar("SELECT zcmm FROM NewUser WHERE usetrname=?1", {username});
            if (!hashed)
                throw std::runtime_error("no application of " + username);
            try {
                c.execute(
                    "INSERT INTO UserTable(username, userpas, UserDJ, reachtime) VALUES(?1, ?2, ?3, ?4)",
                    {username, *hashed, std::int64_t(level), until});
            } catch (const ConstraintError &) {
                throw std::runtime_error("user " + username + " exists already");
            }
            std::int64_t id = c.lastInsertId();
            c.execute("DELETE FROM NewUser WHERE usetrname=?1", {username});
            c.script("COMMIT;");
            return id;
        } catch (...) {
            c.script("ROLLBACK;");
            throw;
        }
    });
}

std::int64_t Store::publish(const std::string &table,
                            const std::vector<std::pair<std::string, std::string>> &columns, int level)
{
    const auto &allowed = columnsOf(table);
    std::string names = "XinXiDJ", marks = "?1";
    std::vector<SqlValue> values{std::int64_t(level)};
    bool timed = false;
    for (const auto &[name, value] : columns) {
        if (!allowed.count(name))
            throw std::runtime_error("table " + table + " has no column " + name);
        names += ", " + name;
        marks += ", ?" + std::to_string(values.size() + 1);
        if (name == "nowtime") {
            values.push_back(checkedTime(value));
            timed = true;
        } else
            values.push_back(value);
    }
    if (!timed) {
        names += ", nowtime";
        marks += ", ?" + std::to_string(values.size() + 1);
        values.push_back(DateTimeText::now());
    }
    return with([&](Connection &c) {
        c.execute("INSERT INTO " + table + "(" + names + ") VALUES(" + marks + ")", values);
        return c.lastInsertId();
    });
}

void Store::revise(const std::string &table, std::int64_t id,
                   const std::vector<std::pair<std::string, std::string>> &columns, std::optional<int> level)
{
    const auto &allowed = columnsOf(table);
    std::string assignments;
    std::vector<SqlValue> values;
    auto add = [&](const std::string &name, SqlValue value) {
        if (!assignments.empty())
            assignments += ", ";
        values.push_back(std::move(value));
        assignments += name + "=?" + std::to_string(values.size());
    };
    for (const auto &[name, value] : columns) {
        if (!allowed.count(name))
            throw std::runtime_error("table " + table + " has no column " + name);
        add(name, name == "nowtime" ? SqlValue(checkedTime(value)) : SqlValue(value));
    }
    if (level)
        add("XinXiDJ", std::int64_t(*level));
    if (assignments.empty())
        throw std::runtime_error("nothing to revise");
    values.push_back(id);
    with([&](Connection &c) {
        if (c.execute("UPDATE " + table + " SET " + assignments + " WHERE id=?" +
                          std::to_string(values.size()),
                      values) == 0)
            throw std::runtime_error("no item " + std::to_string(id) + " in " + table);
    });
}

bool Store::tieringOn(Connection &c)
{
    auto value = c.scalar("SELECT yhqyhyfj FROM Sys_pz ORDER BY id LIMIT 1");
    if (!value)
        return false;
    if (auto *number = std::get_if<std::int64_t>(&*value))
        return *number != 0;
    std::string text = sqlValueText(*value);
    for (auto &ch : text)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return text == "true" || text == "1";
}
