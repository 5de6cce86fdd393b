#pragma once

#include "Connection.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The service's SQLite database: schema, connection pool for the request threads, and the
// operations the operator commands and the web service perform.
//
// Streams and their tables: stock-pool alerts Tuijiangupiao, live news spzx, insider news
// smnc, secret news smjm. Triggers count additions and revisions per stream and per
// information level in ChangeCounter, so ifchangetable can tell each user only of items
// he may see.
class Store
{
public:
    // Opens an existing database (create = true: creates the file and the schema).
    explicit Store(std::string path, bool create = false);
    ~Store();

    const std::string &path() const { return path_; }

    // Runs fn with a connection of the pool (one per concurrent caller).
    template <typename Fn> auto with(Fn &&fn)
    {
        Lease lease(*this);
        return fn(*lease.connection);
    }

    void createSchema();
    // Adds what a database made by an earlier version lacks: the table of recent password
    // proofs and the address that holds each online record. Safe to run again.
    void upgradeSchema();

    struct Account
    {
        std::int64_t id = 0;
        std::string username;
        std::string reachtime; // canonical date-time text
        std::int64_t level = 3;
    };
    // The account whose name and password match (exact, case-sensitive name).
    std::optional<Account> verify(const std::string &username, const std::string &password);

    // How long a password proof lets its address write the account's online record.
    static constexpr int proofSeconds = 120;
    // Remembers that address has just proved the password of account id.
    void recordProof(std::int64_t id, const std::string &address);

    // Operator operations; they throw std::runtime_error with a readable message.
    std::int64_t addUser(const std::string &username, const std::string &password, int level,
                         const std::string &reachtime);
    void removeUser(const std::string &username);
    void setPassword(const std::string &username, const std::string &password);
    std::vector<SqlRow> listUsers();
    std::vector<SqlRow> listApplications();
    // Moves an application into UserTable, keeping its (hashed) password.
    std::int64_t approveApplication(const std::string &username, int level, const std::string &reachtime);

    // Publishes an item into one stream table; columns are the table's own. Returns its id.
    std::int64_t publish(const std::string &table,
                         const std::vector<std::pair<std::string, std::string>> &columns, int level);
    // Revises fields of an existing item; throws when there is no such item.
    void revise(const std::string &table, std::int64_t id,
                const std::vector<std::pair<std::string, std::string>> &columns, std::optional<int> level);

    // Whether lists are tiered by user level (Sys_pz.yhqyhyfj).
    bool tieringOn(Connection &connection);

private:
    struct Lease
    {
        explicit Lease(Store &store);
        ~Lease();
        Store &store;
        std::unique_ptr<Connection> connection;
    };

    std::string path_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
};
