#pragma once

#include "store/DatabaseConnection.h"

#include <map>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// One SQLite connection in WAL mode with a busy time-out and a cache of prepared
// statements.
class SqliteConnection : public DatabaseConnection
{
public:
    enum class Mode {
        ReadWrite,
        Create, // the file is made when it is missing
        // A file of unknown origin, only read: nothing is written to it (not even the
        // journal mode), and what its schema could run (views, triggers, functions a
        // schema names) is switched off.
        ReadOnlyUntrusted
    };
    explicit SqliteConnection(const std::string &path, Mode mode = Mode::ReadWrite);
    ~SqliteConnection() override;

    std::vector<SqlRow> query(const std::string &sql, const std::vector<SqlValue> &values = {},
                              const std::map<std::string, SqlValue> &named = {}) override;
    int execute(const std::string &sql, const std::vector<SqlValue> &values = {},
                const std::map<std::string, SqlValue> &named = {}) override;
    void script(const std::string &sql) override;
    std::string changeStamp() override;

protected:
    void beginWrite() override;

private:
    sqlite3_stmt *prepare(const std::string &sql);
    void bind(sqlite3_stmt *stmt, const std::vector<SqlValue> &values,
              const std::map<std::string, SqlValue> &named);
    [[noreturn]] void fail(int rc, const std::string &what) const;
    void distrustSchema();

    sqlite3 *db_ = nullptr;
    std::map<std::string, sqlite3_stmt *> cache_;
};
