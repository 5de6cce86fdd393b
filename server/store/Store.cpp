#include "store/Store.h"

#include "store/CopySource.h"
#include "store/DateTimeText.h"
#include "store/PasswordHash.h"
#include "store/PostgresStore.h"
#include "store/SqliteStore.h"
#include "store/Stream.h"

#include <algorithm>
#include <ctime>
#include <span>
#include <stdexcept>

namespace {

std::int64_t insertedId(const std::vector<SqlRow> &rows)
{
    auto *id = rows.empty() ? nullptr : std::get_if<std::int64_t>(&rows.front().front().value);
    if (!id)
        throw std::runtime_error("the database gave no id for the new row");
    return *id;
}

bool truth(const SqlValue &value)
{
    if (auto *number = std::get_if<std::int64_t>(&value))
        return *number != 0;
    std::string text = sqlValueText(value);
    for (auto &ch : text)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return text == "true" || text == "1";
}

struct CopiedRow
{
    std::string key;
    std::vector<SqlValue> values;
};

// Inserts rows inside a savepoint; when the target refuses one, none of them is kept and
// the refusal is returned.
std::optional<std::string> insertTogether(DatabaseConnection &c, const std::string &insert,
                                          std::span<const CopiedRow> rows)
{
    c.script("SAVEPOINT copied_rows");
    try {
        for (const CopiedRow &row : rows)
            c.execute(insert, row.values);
    } catch (const std::runtime_error &refused) {
        c.script("ROLLBACK TO copied_rows");
        c.script("RELEASE copied_rows");
        return std::string("the target refused it: ") + refused.what();
    }
    c.script("RELEASE copied_rows");
    return std::nullopt;
}

// Rows go in by chunks, each in a savepoint: a refused row leaves the transaction usable
// (PostgreSQL would end it at the first error). A chunk with a refused row goes in again
// row by row, so only that one is left out. Not a savepoint per row: in PostgreSQL each is
// a subtransaction, and a hundred thousand of them in one transaction slow every statement.
void copyRows(DatabaseConnection &c, const CopiedTable &table,
              const std::vector<const CopiedTable::Column *> &columns,
              std::vector<std::vector<SqlValue>> rows, std::vector<Store::SkippedRow> &skipped)
{
    constexpr std::size_t chunkRows = 1000;
    std::vector<CopiedRow> accepted;
    for (std::vector<SqlValue> &values : rows) {
        std::string key = table.keyOf(columns, values);
        if (auto why = CopiedTable::convert(columns, values))
            skipped.push_back({table.name, key, *why});
        else
            accepted.push_back({std::move(key), std::move(values)});
    }
    const std::string insert = table.insertStatement(columns);
    for (std::size_t start = 0; start < accepted.size(); start += chunkRows) {
        std::span<const CopiedRow> chunk(accepted.data() + start,
                                         std::min(chunkRows, accepted.size() - start));
        if (!insertTogether(c, insert, chunk))
            continue;
        for (const CopiedRow &row : chunk)
            if (auto refused = insertTogether(c, insert, {&row, 1}))
                skipped.push_back({table.name, row.key, *refused});
    }
}

std::string checkedTime(const std::string &value)
{
    auto time = DateTimeText::normalise(value);
    if (!time)
        throw std::runtime_error("not a date-time (yyyy-mm-dd hh:mm:ss): " + value);
    return *time;
}

} // namespace

bool Store::isPostgres(const std::string &database)
{
    return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Store> Store::open(const std::string &database, bool create)
{
    if (isPostgres(database))
        return std::make_unique<PostgresStore>(database);
    return std::make_unique<SqliteStore>(database, create);
}

Store::~Store() = default;

namespace {
thread_local std::optional<DatabaseConnection::Clock::time_point> threadDeadline;
}

Store::Deadline::Deadline(DatabaseConnection::Clock::time_point deadline) : outer_(threadDeadline)
{
    threadDeadline = deadline;
}

Store::Deadline::~Deadline()
{
    threadDeadline = outer_;
}

void Store::checkReachable()
{
    Lease lease(*this);
}

Store::Lease::Lease(Store &s) : store(s)
{
    if (threadDeadline && DatabaseConnection::Clock::now() >= *threadDeadline)
        throw DatabaseTimeout();
    take();
    connection->setDeadline(threadDeadline);
}

void Store::Lease::take()
{
    for (;;) {
        {
            std::lock_guard lock(store.mutex_);
            if (store.idle_.empty())
                break;
            connection = std::move(store.idle_.back());
            store.idle_.pop_back();
        }
        // A connection the database dropped while it sat idle (a restart) is replaced, so
        // the first request after the database returns is answered normally.
        if (connection->usable())
            return;
        connection.reset();
    }
    connection = store.connect();
}

Store::Lease::~Lease()
{
    connection->setDeadline(std::nullopt);
    std::lock_guard lock(store.mutex_);
    store.idle_.push_back(std::move(connection));
}

void Store::recordProof(std::int64_t id, const std::string &address)
{
    std::int64_t now = std::int64_t(time(nullptr));
    with([&](DatabaseConnection &c) {
        c.execute("INSERT INTO PasswordProof(userid, address, provedAt) VALUES(?1, ?2, ?3) "
                  "ON CONFLICT(userid, address) DO UPDATE SET provedAt=excluded.provedAt",
                  {id, address, now});
        c.execute("DELETE FROM PasswordProof WHERE provedAt<?1", {now - proofSeconds});
    });
}

double Store::loginFailures(const std::string &address, double now, double forgiveSeconds)
{
    auto forgivenAt = with([&](DatabaseConnection &c) {
        return c.scalar("SELECT forgivenAt FROM LoginFailure WHERE address=?1", {address});
    });
    auto *at = forgivenAt ? std::get_if<double>(&*forgivenAt) : nullptr;
    return at && *at > now ? (*at - now) / forgiveSeconds : 0;
}

void Store::recordLoginFailure(const std::string &address, double now, double forgiveSeconds)
{
    with([&](DatabaseConnection &c) {
        // What is left of earlier failures, plus this one.
        c.execute(
            "INSERT INTO LoginFailure(address, forgivenAt) VALUES(?1, ?2 + ?3) ON CONFLICT(address) DO "
            "UPDATE "
            "SET forgivenAt = (CASE WHEN LoginFailure.forgivenAt > ?2 THEN LoginFailure.forgivenAt ELSE ?2 "
            "END) + ?3",
            {address, now, forgiveSeconds});
        // A spread of one-off addresses must not grow the table without bound.
        c.execute("DELETE FROM LoginFailure WHERE forgivenAt <= ?1", {now});
    });
}

std::int64_t Store::trackedAddresses()
{
    auto count = with([](DatabaseConnection &c) { return c.scalar("SELECT count(*) FROM LoginFailure"); });
    return count ? std::get<std::int64_t>(*count) : 0;
}

std::int64_t Store::addressesWithFailuresAbove(double now, double forgiveSeconds, double failures)
{
    auto count = with([&](DatabaseConnection &c) {
        return c.scalar("SELECT count(*) FROM LoginFailure WHERE forgivenAt > ?1",
                        {now + failures * forgiveSeconds});
    });
    return count ? std::get<std::int64_t>(*count) : 0;
}

std::optional<Store::Credentials> Store::findAccount(const std::string &username)
{
    auto rows = with([&](DatabaseConnection &c) {
        return c.query("SELECT id, username, userpas, reachtime, UserDJ FROM UserTable WHERE username=?1",
                       {username});
    });
    if (rows.empty())
        return std::nullopt;
    const SqlRow &row = rows.front();
    Credentials found;
    found.account.id = std::get<std::int64_t>(row[0].value);
    found.account.username = sqlValueText(row[1].value);
    found.account.reachtime = sqlValueText(row[3].value);
    if (auto *level = std::get_if<std::int64_t>(&row[4].value))
        found.account.level = *level;
    found.passwordHash = sqlValueText(row[2].value);
    return found;
}

std::optional<Store::Account> Store::verify(const std::string &username, const std::string &password)
{
    auto found = findAccount(username);
    if (!found) {
        PasswordHash::burn(password);
        return std::nullopt;
    }
    if (!PasswordHash::verify(password, found->passwordHash))
        return std::nullopt;
    return found->account;
}

std::int64_t Store::addUser(const std::string &username, const std::string &password, int level,
                            const std::string &reachtime)
{
    std::string until = checkedTime(reachtime);
    std::string hashed = PasswordHash::hash(password);
    return with([&](DatabaseConnection &c) {
        try {
            return insertedId(
                c.query("INSERT INTO UserTable(username, userpas, UserDJ, reachtime) VALUES(?1, "
                        "?2, ?3, ?4) RETURNING id",
                        {username, hashed, std::int64_t(level), until}));
        } catch (const ConstraintError &) {
            throw std::runtime_error("user " + username + " exists already");
        }
    });
}

void Store::removeUser(const std::string &username)
{
    with([&](DatabaseConnection &c) {
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
    with([&](DatabaseConnection &c) {
        if (c.execute("UPDATE UserTable SET userpas=?1 WHERE username=?2", {hashed, username}) == 0)
            throw std::runtime_error("no user " + username);
    });
}

std::vector<SqlRow> Store::listUsers()
{
    return with([](DatabaseConnection &c) {
        return c.query(
            "SELECT u.id, u.username, u.UserDJ, u.reachtime, d.userdlsj, d.userdlip FROM UserTable u "
            "LEFT JOIN userdl d ON d.userid = u.id ORDER BY u.id");
    });
}

std::vector<SqlRow> Store::findUsers(const std::string &text, int limit)
{
    // Not LIKE: a "%" or "_" in the text is looked for as it is. replace() is in both databases.
    return with([&](DatabaseConnection &c) {
        return c.query(
            "SELECT u.id, u.username, u.UserDJ, u.reachtime, d.userdlsj, d.userdlip FROM UserTable u "
            "LEFT JOIN userdl d ON d.userid = u.id "
            "WHERE ?1 = '' OR replace(u.username, ?1, '') <> u.username ORDER BY u.id LIMIT ?2",
            {text, std::int64_t(limit)});
    });
}

void Store::updateUser(const std::string &username, std::optional<int> level,
                       std::optional<std::string> reachtime)
{
    std::optional<std::string> until;
    if (reachtime)
        until = checkedTime(*reachtime);
    with([&](DatabaseConnection &c) {
        c.transaction([&] {
            if (!c.scalar("SELECT id FROM UserTable WHERE username=?1", {username}))
                throw std::runtime_error("no user " + username);
            if (level)
                c.execute("UPDATE UserTable SET UserDJ=?1 WHERE username=?2",
                          {std::int64_t(*level), username});
            if (until)
                c.execute("UPDATE UserTable SET reachtime=?1 WHERE username=?2", {*until, username});
        });
    });
}

std::int64_t Store::subscribersAtLevel(int level)
{
    auto count = with([&](DatabaseConnection &c) {
        return c.scalar("SELECT count(*) FROM UserTable WHERE UserDJ=?1", {std::int64_t(level)});
    });
    return count ? std::get<std::int64_t>(*count) : 0;
}

std::int64_t Store::onlineCount()
{
    auto count = with([](DatabaseConnection &c) { return c.scalar("SELECT count(*) FROM userdl"); });
    return count ? std::get<std::int64_t>(*count) : 0;
}

std::vector<SqlRow> Store::listApplications()
{
    return with([](DatabaseConnection &c) {
        return c.query("SELECT id, usetrname, shouji, zhucetime FROM NewUser ORDER BY id");
    });
}

std::int64_t Store::approveApplication(const std::string &username, int level, const std::string &reachtime)
{
    std::string until = checkedTime(reachtime);
    return with([&](DatabaseConnection &c) {
        return c.transaction([&] {
            auto hashed = c.scalar("SELECT zcmm FROM NewUser WHERE usetrname=?1", {username});
            if (!hashed)
                throw std::runtime_error("no application of " + username);
            std::int64_t id = 0;
            try {
                id = insertedId(
                    c.query("INSERT INTO UserTable(username, userpas, UserDJ, reachtime) VALUES(?1, "
                            "?2, ?3, ?4) RETURNING id",
                            {username, *hashed, std::int64_t(level), until}));
            } catch (const ConstraintError &) {
                throw std::runtime_error("user " + username + " exists already");
            }
            c.execute("DELETE FROM NewUser WHERE usetrname=?1", {username});
            return id;
        });
    });
}

void Store::rejectApplication(const std::string &username)
{
    with([&](DatabaseConnection &c) {
        if (c.execute("DELETE FROM NewUser WHERE usetrname=?1", {username}) == 0)
            throw std::runtime_error("no application of " + username);
    });
}

std::vector<SqlRow> Store::latestItems(const std::string &table, int limit)
{
    const Stream &stream = Stream::ofTable(table);
    std::string columns = "id";
    for (const Stream::Column &column : stream.columns)
        columns += std::string(", ") + column.name;
    return with([&](DatabaseConnection &c) {
        return c.query("SELECT " + columns + ", XinXiDJ FROM " + stream.table + " ORDER BY id DESC LIMIT ?1",
                       {std::int64_t(limit)});
    });
}

std::int64_t Store::itemsSince(const std::string &table, const std::string &since)
{
    const Stream &stream = Stream::ofTable(table);
    auto count = with([&](DatabaseConnection &c) {
        return c.scalar(std::string("SELECT count(*) FROM ") + stream.table + " WHERE nowtime >= ?1",
                        {since});
    });
    return count ? std::get<std::int64_t>(*count) : 0;
}

void Store::ping()
{
    with([](DatabaseConnection &c) { c.scalar("SELECT 1"); });
}

void Store::backupTo(const std::string &)
{
    throw std::runtime_error("this database is backed up with its own tools (pg_dump)");
}

std::int64_t Store::publish(const std::string &table,
                            const std::vector<std::pair<std::string, std::string>> &columns, int level)
{
    const Stream &stream = Stream::ofTable(table);
    std::string names = "XinXiDJ", marks = "?1";
    std::vector<SqlValue> values{std::int64_t(level)};
    bool timed = false;
    for (const auto &[name, value] : columns) {
        if (!stream.hasColumn(name))
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
    auto id = with([&](DatabaseConnection &c) {
        return insertedId(
            c.query("INSERT INTO " + table + "(" + names + ") VALUES(" + marks + ") RETURNING id", values));
    });
    itemsChanged();
    return id;
}

void Store::revise(const std::string &table, std::int64_t id,
                   const std::vector<std::pair<std::string, std::string>> &columns, std::optional<int> level)
{
    const Stream &stream = Stream::ofTable(table);
    std::string assignments;
    std::vector<SqlValue> values;
    auto add = [&](const std::string &name, SqlValue value) {
        if (!assignments.empty())
            assignments += ", ";
        values.push_back(std::move(value));
        assignments += name + "=?" + std::to_string(values.size());
    };
    for (const auto &[name, value] : columns) {
        if (!stream.hasColumn(name))
            throw std::runtime_error("table " + table + " has no column " + name);
        add(name, name == "nowtime" ? SqlValue(checkedTime(value)) : SqlValue(value));
    }
    if (level)
        add("XinXiDJ", std::int64_t(*level));
    if (assignments.empty())
        throw std::runtime_error("nothing to revise");
    values.push_back(id);
    with([&](DatabaseConnection &c) {
        if (c.execute("UPDATE " + table + " SET " + assignments + " WHERE id=?" +
                          std::to_string(values.size()),
                      values) == 0)
            throw std::runtime_error("no item " + std::to_string(id) + " in " + table);
    });
    itemsChanged();
}

void Store::itemsChanged()
{
    if (itemsChanged_)
        itemsChanged_();
}

std::vector<Store::SkippedRow> Store::copyFrom(CopySource &source)
{
    std::vector<SkippedRow> skipped;
    with([&](DatabaseConnection &c) {
        c.transaction([&] {
            if (c.scalar("SELECT count(*) FROM UserTable") != SqlValue(std::int64_t(0)))
                throw std::runtime_error("the database already holds accounts; copy into a new one");
            stopCounting(c);
            for (const CopiedTable &table : CopiedTable::all()) {
                auto columns = source.columnsOf(table);
                if (!columns)
                    continue;
                // The source's configuration replaces the initial one a fresh init wrote.
                if (table.name == "ChangeCounter" || table.name == "Sys_pz" || table.name == "Sys_url")
                    c.execute("DELETE FROM " + CopiedTable::quoted(table.name));
                copyRows(c, table, *columns, source.rows(table, *columns), skipped);
                continueIds(c, table.name);
            }
        });
    });
    return skipped;
}

bool Store::tieringOn(DatabaseConnection &c)
{
    auto value = c.scalar("SELECT yhqyhyfj FROM Sys_pz ORDER BY id LIMIT 1");
    return value && truth(*value);
}
