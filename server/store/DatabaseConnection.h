#pragma once

#include "store/ConstraintError.h"
#include "store/DatabaseTimeout.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// A value bound to or read from the database. monostate is SQL NULL.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// One result column: its name, the type the table declares for it ("DATETIME", "BOOLEAN";
// empty for expressions) and the value.
struct SqlField
{
    std::string name;
    std::string declaredType;
    SqlValue value;
};
using SqlRow = std::vector<SqlField>;

// One connection to the service's database. Statements are written once for every store:
// values bind to ?1, ?2... and named ones by their full name ("?91"); each store turns that
// into what its database takes. Not thread-safe: each thread takes its own from the Store's
// pool.
class DatabaseConnection
{
public:
    virtual ~DatabaseConnection() = default;
    DatabaseConnection() = default;
    DatabaseConnection(const DatabaseConnection &) = delete;
    DatabaseConnection &operator=(const DatabaseConnection &) = delete;

    // Runs a statement and returns the rows (empty for statements without a result).
    virtual std::vector<SqlRow> query(const std::string &sql, const std::vector<SqlValue> &values = {},
                                      const std::map<std::string, SqlValue> &named = {}) = 0;
    // Runs a statement and returns the number of rows it changed.
    virtual int execute(const std::string &sql, const std::vector<SqlValue> &values = {},
                        const std::map<std::string, SqlValue> &named = {}) = 0;
    // Runs one or more statements without parameters.
    virtual void script(const std::string &sql) = 0;

    // Runs fn inside one write transaction: committed when fn returns, rolled back when it
    // throws.
    template <typename Fn> auto transaction(Fn &&fn)
    {
        beginWrite();
        try {
            if constexpr (std::is_void_v<decltype(fn())>) {
                fn();
                script("COMMIT");
            } else {
                auto result = fn();
                script("COMMIT");
                return result;
            }
        } catch (...) {
            rollbackQuietly();
            throw;
        }
    }

    // First column of the first row, if any.
    std::optional<SqlValue> scalar(const std::string &sql, const std::vector<SqlValue> &values = {});

    // A text that changes whenever the data this connection sees may have changed (a commit
    // by any other connection or process, or a write through this one); empty when the
    // connection cannot tell.
    virtual std::string changeStamp() = 0;
    // An answer computed from the database as it was at stamp, kept under key until the
    // database changes.
    std::optional<std::string> keptAnswer(const std::string &key, const std::string &stamp) const;
    void keepAnswer(const std::string &key, const std::string &stamp, std::string answer);

    // Whether the connection can still be used; a lost one is dropped from the pool.
    virtual bool usable() { return true; }

    // Statements still running at deadline give up with DatabaseTimeout, whatever the
    // database server does meanwhile (nullopt: they wait as long as the database takes).
    // A connection that gave up this way is not usable afterwards.
    using Clock = std::chrono::steady_clock;
    void setDeadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }

protected:
    virtual void beginWrite() = 0;

    std::optional<Clock::time_point> deadline_;

private:
    void rollbackQuietly();

    std::map<std::string, std::pair<std::string, std::string>> answers_;
};

// Text of a value as the data set writes it (NULL reads as empty text).
std::string sqlValueText(const SqlValue &value);
