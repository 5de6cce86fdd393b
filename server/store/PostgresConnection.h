#pragma once

#include "store/DatabaseConnection.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// One connection to a PostgreSQL database through libpq.
//
// Statements are written with SQLite's ?N marks; each distinct mark becomes $1, $2... in the
// order it first appears, and each value is sent with its own type, so that PostgreSQL
// needs no guess for a value in a select list or an insert. Statements are prepared once
// per connection and value types.
//
// PostgreSQL folds unquoted names to lower case: result columns are named back as the
// schema spells them (columnNames maps "xinxidj" to "XinXiDJ"), so that answers are the
// same as the SQLite store's, byte for byte.
class PostgresConnection : public DatabaseConnection
{
public:
    PostgresConnection(const std::string &uri, const std::map<std::string, std::string> &columnNames);
    ~PostgresConnection() override;

    std::vector<SqlRow> query(const std::string &sql, const std::vector<SqlValue> &values = {},
                              const std::map<std::string, SqlValue> &named = {}) override;
    int execute(const std::string &sql, const std::vector<SqlValue> &values = {},
                const std::map<std::string, SqlValue> &named = {}) override;
    void script(const std::string &sql) override;
    std::string changeStamp() override;
    bool usable() override;

    // "database D on host H as user U": names the database without the password a
    // connection text may carry.
    std::string description() const;
    // The same from a connection text alone, without connecting; throws std::runtime_error
    // when libpq cannot read the text.
    static std::string describe(const std::string &uri);

protected:
    void beginWrite() override;

private:
    struct Statement
    {
        std::string name;
        std::vector<int> marks; // the ?N behind each $k
    };
    struct Result;

    struct ResultDeleter
    {
        void operator()(pg_result *result) const;
    };
    using ResultPtr = std::unique_ptr<pg_result, ResultDeleter>;
    // The result of what a PQsend... call (its return value: sent) sent, waiting no longer
    // than the deadline; null when nothing came.
    ResultPtr awaitResult(int sent);
    void waitForInput();

    const Statement &prepare(const std::string &sql, const std::vector<unsigned> &types);
    Result run(const std::string &sql, const std::vector<SqlValue> &values,
               const std::map<std::string, SqlValue> &named);
    std::vector<SqlRow> rowsOf(pg_result *result);
    const std::string &declaredType(unsigned table, int column);
    [[noreturn]] void fail(pg_result *result, const std::string &what) const;

    pg_conn *conn_ = nullptr;
    bool abandoned_ = false; // gave up waiting for an answer: state unknown
    const std::map<std::string, std::string> &columnNames_;
    std::map<std::string, Statement> prepared_;
    // Declared type per table and column number, learnt from the catalogue on first use.
    std::map<unsigned, std::map<int, std::string>> declared_;
};
