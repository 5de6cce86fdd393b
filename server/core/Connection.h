#pragma once

#include "ServiceError.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A value bound to or read from SQLite. monostate is SQL NULL.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// One result column: its name, the type the table declares for it (empty for expressions)
// and the value.
struct SqlField
{
    std::string name;
    std::string declaredType;
    SqlValue value;
};
using SqlRow = std::vector<SqlField>;

// One SQLite connection in WAL mode with a busy time-out and a cache of prepared
// statements. Not thread-safe: each thread takes its own from the Store's pool.
class Connection
{
public:
    explicit Connection(const std::string &path, bool create = false);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Runs a statement; values bind to ?1, ?2...; named ones by their full name ("?91", ":x").
    // Returns the rows (empty for statements without a result).
    std::vector<SqlRow> query(const std::string &sql, const std::vector<SqlValue> &values = {},
                              const std::map<std::string, SqlValue> &named = {});
    // Runs a statement and returns the number of rows it changed.
    int execute(const std::string &sql, const std::vector<SqlValue> &values = {},
                const std::map<std::string, SqlValue> &named = {});
    // Runs one or more statements without parameters.
    void script(const std::string &sql);
    std::int64_t lastInsertId() const;

    // First column of the first row, if any.
    std::optional<SqlValue> scalar(const std::string &sql, const std::vector<SqlValue> &values = {});

    // Changes whenever the database may have changed since the last call: a commit by any
    // other connection or process, or a row written through this one.
    std::pair<std::int64_t, std::int64_t> changeStamp();
    // An answer computed from the database as it was at stamp, kept under key until the
    // database changes.
    std::optional<std::string> keptAnswer(const std::string &key,
                                          const std::pair<std::int64_t, std::int64_t> &stamp) const;
    void keepAnswer(const std::string &key, const std::pair<std::int64_t, std::int64_t> &stamp,
                    std::string answer);

private:
    sqlite3_stmt *prepare(const std::string &sql);
    void bind(sqlite3_stmt *stmt, const std::vector<SqlValue> &values,
              const std::map<std::string, SqlValue> &named);
    [[noreturn]] void fail(int rc, const std::string &what) const;

    sqlite3 *db_ = nullptr;
    std::map<std::string, sqlite3_stmt *> cache_;
    std::map<std::string, std::pair<std::pair<std::int64_t, std::int64_t>, std::string>> answers_;
};

// Text of a value as the data set writes it (NULL reads as empty text).
std::string sqlValueText(const SqlValue &value);
