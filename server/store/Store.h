#pragma once

#include "store/ChangeWatch.h"
#include "store/DatabaseConnection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CopySource;
// The service's database: schema, connection pool for the request threads, and the
// operations the operator commands and the web service perform. SqliteStore keeps it in one
// file; PostgresStore in a PostgreSQL database that several service instances share. The
// statements here are the same for both; what a database needs in its own words lives in
// its store.
//
// The streams and their tables are listed in Stream. The store counts additions and
// revisions per stream and per information level in ChangeCounter (triggers), so
// ifchangetable can tell each user only of items he may see.
class Store
{
public:
    // "postgresql://..." or "postgres://..." (a libpq connection URI) opens a PostgresStore,
    // anything else names an SQLite file. create: make the database (file) when it is missing.
    static std::unique_ptr<Store> open(const std::string &database, bool create = false);
    static bool isPostgres(const std::string &database);

    virtual ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // What the operator is told the database is (never a password).
    virtual std::string description() const = 0;

    // Runs fn with a connection of the pool (one per concurrent caller).
    template <typename Fn> auto with(Fn &&fn)
    {
        Lease lease(*this);
        return fn(*lease.connection);
    }

    // While one lives, every statement this thread runs through with() gives up at deadline
    // (DatabaseTimeout), and no connection is opened past it: for callers that must answer
    // in time even while the database hangs (the service's store workers).
    class Deadline
    {
    public:
        explicit Deadline(DatabaseConnection::Clock::time_point deadline);
        ~Deadline();
        Deadline(const Deadline &) = delete;
        Deadline &operator=(const Deadline &) = delete;

    private:
        std::optional<DatabaseConnection::Clock::time_point> outer_;
    };

    // Creates what is missing of the schema; safe to run again.
    virtual void createSchema() = 0;
    // Adds what a database made by an earlier version lacks. Safe to run again.
    virtual void upgradeSchema() = 0;

    struct Account
    {
        std::int64_t id = 0;
        std::string username;
        std::string reachtime; // canonical date-time text
        std::int64_t level = 3;
    };
    // The account whose name and password match (exact, case-sensitive name).
    std::optional<Account> verify(const std::string &username, const std::string &password);
    // The account of that name with its stored password hash, for callers that check the
    // password elsewhere (the service hashes on threads of its own).
    struct Credentials
    {
        Account account;
        std::string passwordHash;
    };
    std::optional<Credentials> findAccount(const std::string &username);

    // How long a password proof lets its address write the account's online record.
    static constexpr int proofSeconds = 120;
    // Remembers that address has just proved the password of account id.
    void recordProof(std::int64_t id, const std::string &address);

    // Failed password checks per address, one forgiven each forgiveSeconds: only the time
    // at which all are forgiven is kept, so a failure is one atomic write whichever instance
    // counts it. Times in seconds since the epoch.
    double loginFailures(const std::string &address, double now, double forgiveSeconds);
    void recordLoginFailure(const std::string &address, double now, double forgiveSeconds);
    // Addresses with failures not yet forgiven (forgiven ones are removed as failures come in).
    std::int64_t trackedAddresses();
    // Addresses with more than that many failures not yet forgiven.
    std::int64_t addressesWithFailuresAbove(double now, double forgiveSeconds, double failures);

    // Operator operations; they throw std::runtime_error with a readable message.
    std::int64_t addUser(const std::string &username, const std::string &password, int level,
                         const std::string &reachtime);
    void removeUser(const std::string &username);
    void setPassword(const std::string &username, const std::string &password);
    std::vector<SqlRow> listUsers();
    // Accounts whose name contains text (at most limit of them), same columns as listUsers.
    std::vector<SqlRow> findUsers(const std::string &text, int limit);
    // Changes an account's level and/or paid-until date; throws when there is no such account.
    void updateUser(const std::string &username, std::optional<int> level,
                    std::optional<std::string> reachtime);
    // Accounts of that level.
    std::int64_t subscribersAtLevel(int level);
    // Accounts with an online record.
    std::int64_t onlineCount();
    std::vector<SqlRow> listApplications();
    // Moves an application into UserTable, keeping its (hashed) password.
    std::int64_t approveApplication(const std::string &username, int level, const std::string &reachtime);
    // Drops an application; throws when there is none of that name.
    void rejectApplication(const std::string &username);

    // Publishes an item into one stream table; columns are the table's own. Returns its id.
    std::int64_t publish(const std::string &table,
                         const std::vector<std::pair<std::string, std::string>> &columns, int level);
    // Revises fields of an existing item; throws when there is no such item.
    void revise(const std::string &table, std::int64_t id,
                const std::vector<std::pair<std::string, std::string>> &columns, std::optional<int> level);

    // The newest items of one stream table, newest first: id, its columns, XinXiDJ.
    std::vector<SqlRow> latestItems(const std::string &table, int limit);
    // Items of a stream table dated at or after a canonical date-time.
    std::int64_t itemsSince(const std::string &table, const std::string &since);

    // Answers a trivial statement: the database is reachable and serving.
    void ping();
    // Writes a consistent copy of the whole database into a new file while the service keeps
    // running. Throws std::runtime_error where the database has its own tools (PostgreSQL).
    virtual void backupTo(const std::string &file);

    // Copies everything a service keeps (configuration, pages, accounts, applications,
    // online records, items and their counters) from an SQLite file into this store, which
    // must hold no accounts yet. Ids stay as they are, so clients' remembered ids hold. A row
    // that cannot go in as it is (bytes that are no UTF-8, a value of the wrong type, a
    // broken constraint) is left out and named in the result; the others are copied.
    struct SkippedRow
    {
        std::string table;
        std::string key; // "id 7", "stream/level gptj/2"
        std::string reason;
    };
    std::vector<SkippedRow> copyFrom(CopySource &source);

    // Called after each publish or revise through this store has been committed, on the
    // thread that made it. Set it before the store is used from several threads.
    void onItemsChanged(std::function<void()> listener) { itemsChanged_ = std::move(listener); }
    // A watch of its own on the database, for commits of anyone (another process too).
    virtual std::unique_ptr<ChangeWatch> watchChanges() = 0;

    // Whether lists are tiered by user level (Sys_pz.yhqyhyfj).
    bool tieringOn(DatabaseConnection &connection);

protected:
    Store() = default;
    // Opens one more connection for the pool.
    virtual std::unique_ptr<DatabaseConnection> connect() = 0;
    // Opens one connection up front, so that a database that cannot be reached is reported
    // at start, not at the first request.
    void checkReachable();
    // After rows came in with their own ids: new rows must get ids above them.
    virtual void continueIds(DatabaseConnection &, const std::string & /*table*/) {}
    // Items written in the rest of the transaction need not be counted in ChangeCounter: a
    // copy replaces its rows with the source's afterwards. Stores where counting many items
    // in one transaction is slow stop counting them.
    virtual void stopCounting(DatabaseConnection &) {}

private:
    void itemsChanged();

    struct Lease
    {
        explicit Lease(Store &store);
        ~Lease(); // a deadline set on the connection ends with the lease
        void take();
        Store &store;
        std::unique_ptr<DatabaseConnection> connection;
    };

    std::mutex mutex_;
    std::vector<std::unique_ptr<DatabaseConnection>> idle_;
    std::function<void()> itemsChanged_;
};
