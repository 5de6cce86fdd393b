#include "store/PostgresConnection.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace {

// Type OIDs of the built-in types the service reads and binds (pg_type.h).
constexpr Oid boolOid = 16, int8Oid = 20, int2Oid = 21, int4Oid = 23, textOid = 25, oidOid = 26,
              float4Oid = 700, float8Oid = 701, numericOid = 1700;

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// "?N" marks to "$k" in order of first appearance; marks inside quoted text stay as they are.
std::string numberMarks(const std::string &sql, std::vector<int> &marks)
{
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'')
            quoted = !quoted;
        if (quoted || c != '?' || i + 1 >= sql.size() || sql[i + 1] < '0' || sql[i + 1] > '9') {
            out += c;
            continue;
        }
        int mark = 0;
        while (i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9')
            mark = mark * 10 + (sql[++i] - '0');
        size_t k = 0;
        while (k < marks.size() && marks[k] != mark)
            ++k;
        if (k == marks.size())
            marks.push_back(mark);
        out += "$" + std::to_string(k + 1);
    }
    return out;
}

const SqlValue &valueOfMark(int mark, const std::vector<SqlValue> &values,
                            const std::map<std::string, SqlValue> &named)
{
    static const SqlValue null;
    if (mark >= 1 && size_t(mark) <= values.size())
        return values[size_t(mark - 1)];
    auto it = named.find("?" + std::to_string(mark));
    return it == named.end() ? null : it->second;
}

Oid typeOf(const SqlValue &value)
{
    if (std::holds_alternative<std::int64_t>(value))
        return int8Oid;
    if (std::holds_alternative<double>(value))
        return float8Oid;
    if (std::holds_alternative<std::string>(value))
        return textOid;
    return 0; // NULL: the statement's context decides
}

SqlValue valueOf(const PGresult *result, int row, int column)
{
    if (PQgetisnull(result, row, column))
        return {};
    std::string text(PQgetvalue(result, row, column), size_t(PQgetlength(result, row, column)));
    switch (PQftype(result, column)) {
    case boolOid:
        return std::int64_t(text == "t");
    case int2Oid:
    case int4Oid:
    case int8Oid:
    case oidOid:
        return std::int64_t(std::strtoll(text.c_str(), nullptr, 10));
    case float4Oid:
    case float8Oid:
        return std::strtod(text.c_str(), nullptr);
    case numericOid:
        // sum() of integers: a whole number reads as one.
        if (text.find_first_of(".eEN") == std::string::npos && text.size() < 19)
            return std::int64_t(std::strtoll(text.c_str(), nullptr, 10));
        return std::strtod(text.c_str(), nullptr);
    default:
        return text;
    }
}

} // namespace

void PostgresConnection::ResultDeleter::operator()(PGresult *result) const
{
    PQclear(result);
}

struct PostgresConnection::Result
{
    ResultPtr result;
};

// libpq's own calls wait for the server as long as it takes: a server that is stopped (not
// gone) keeps them waiting, and its statement time-out never fires. So every statement is
// sent, and its answer awaited here, against the connection's deadline.
PostgresConnection::ResultPtr PostgresConnection::awaitResult(int sent)
{
    if (!sent)
        return nullptr;
    ResultPtr kept;
    for (;;) {
        while (PQisBusy(conn_)) {
            waitForInput();
            if (!PQconsumeInput(conn_))
                return kept;
        }
        PGresult *next = PQgetResult(conn_);
        if (!next)
            return kept;
        // Of several results (a script) the failing one tells what went wrong.
        if (!kept || PQresultStatus(next) == PGRES_FATAL_ERROR)
            kept.reset(next);
        else
            PQclear(next);
    }
}

void PostgresConnection::waitForInput()
{
    int timeout = -1;
    if (deadline_) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
        timeout = int(std::max<long long>(0, std::min<long long>(left, 60000)));
    }
    pollfd socket{PQsocket(conn_), POLLIN, 0};
    int ready = poll(&socket, 1, timeout);
    if (ready == 0 && deadline_ && Clock::now() >= *deadline_) {
        // The statement may still be running; the connection's state is unknown, so it is
        // given up: the pool opens another when the database answers again.
        abandoned_ = true;
        throw DatabaseTimeout();
    }
}

PostgresConnection::PostgresConnection(const std::string &uri,
                                       const std::map<std::string, std::string> &columnNames)
    : columnNames_(columnNames)
{
    // Defaults first: what the connection text says overrides them. A server that has gone
    // away answers within seconds as a failure, never a hang; client_encoding comes last
    // because every text the service handles is UTF-8.
    const char *keywords[] = {"connect_timeout", "tcp_user_timeout", "options", "fallback_application_name",
                              "dbname",          "client_encoding",  nullptr};
    const char *values[] = {"5",    "10000", "-c statement_timeout=10000", "stock-alert-service", uri.c_str(),
                            "UTF8", nullptr};
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (!conn_)
        throw std::runtime_error("cannot connect to the database: out of memory");
    if (PQstatus(conn_) != CONNECTION_OK) {
        std::string message = trimmed(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        throw std::runtime_error("cannot connect to the database: " + message);
    }
    // Notices ("relation ... already exists, skipping" when init runs again) are no news to
    // the operator; errors come back with the statement that failed.
    PQsetNoticeProcessor(
        conn_, [](void *, const char *) {}, nullptr);
}

PostgresConnection::~PostgresConnection()
{
    PQfinish(conn_);
}

std::string PostgresConnection::description() const
{
    std::string host = PQhost(conn_) ? PQhost(conn_) : "";
    return std::string("database ") + PQdb(conn_) + " on " + (host.empty() ? "the local socket" : host) +
           " as " + PQuser(conn_);
}

std::string PostgresConnection::describe(const std::string &uri)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.c_str(), &error);
    if (!options) {
        std::string message = error ? trimmed(error) : "out of memory";
        PQfreemem(error);
        throw std::runtime_error("not a database connection text: " + message);
    }
    std::map<std::string, std::string> given;
    for (PQconninfoOption *option = options; option->keyword; ++option)
        if (option->val && *option->val)
            given[option->keyword] = option->val;
    PQconninfoFree(options);
    const char *login = std::getenv("USER");
    std::string user = given.count("user") ? given["user"] : login ? login : "";
    std::string database = given.count("dbname") ? given["dbname"] : user;
    std::string host = given.count("host") ? given["host"] : "";
    return "database " + database + " on " + (host.empty() ? "the local socket" : host) + " as " + user;
}

void PostgresConnection::fail(pg_result *result, const std::string &what) const
{
    std::string message = trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
    if (message.empty())
        message = trimmed(PQerrorMessage(conn_));
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    // Class 23: integrity constraint violation (unique, not null, check, foreign key).
    if (state && std::string(state).rfind("23", 0) == 0)
        throw ConstraintError(what + ": " + message);
    throw std::runtime_error(what + ": " + message);
}

const PostgresConnection::Statement &PostgresConnection::prepare(const std::string &sql,
                                                                 const std::vector<unsigned> &types)
{
    std::string key;
    for (unsigned type : types)
        key += std::to_string(type) + ",";
    key += "\n" + sql;
    auto it = prepared_.find(key);
    if (it != prepared_.end())
        return it->second;
    Statement statement;
    statement.name = "s" + std::to_string(prepared_.size() + 1);
    std::string text = numberMarks(sql, statement.marks);
    std::vector<Oid> oids(types.begin(), types.end());
    ResultPtr result = awaitResult(
        PQsendPrepare(conn_, statement.name.c_str(), text.c_str(), int(oids.size()), oids.data()));
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        fail(result.get(), "prepare");
    return prepared_.emplace(key, std::move(statement)).first->second;
}

PostgresConnection::Result PostgresConnection::run(const std::string &sql,
                                                   const std::vector<SqlValue> &values,
                                                   const std::map<std::string, SqlValue> &named)
{
    std::vector<int> marks;
    numberMarks(sql, marks);
    std::vector<unsigned> types;
    std::vector<std::string> texts;
    std::vector<const char *> pointers;
    for (int mark : marks) {
        const SqlValue &value = valueOfMark(mark, values, named);
        types.push_back(typeOf(value));
        texts.push_back(sqlValueText(value));
    }
    for (size_t k = 0; k < marks.size(); ++k) {
        bool null = std::holds_alternative<std::monostate>(valueOfMark(marks[k], values, named));
        pointers.push_back(null ? nullptr : texts[k].c_str());
    }
    const Statement &statement = prepare(sql, types);
    ResultPtr result = awaitResult(PQsendQueryPrepared(conn_, statement.name.c_str(), int(pointers.size()),
                                                       pointers.data(), nullptr, nullptr, 0));
    auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail(result.get(), "query");
    return {std::move(result)};
}

const std::string &PostgresConnection::declaredType(unsigned table, int column)
{
    static const std::string none;
    if (table == 0)
        return none;
    auto found = declared_.find(table);
    if (found == declared_.end()) {
        auto &columns = declared_[table];
        std::string oid = std::to_string(table);
        const char *param[] = {oid.c_str()};
        const Oid type[] = {oidOid};
        ResultPtr result = awaitResult(
            PQsendQueryParams(conn_,
                              "SELECT a.attnum, t.typname FROM pg_attribute a JOIN pg_type t ON t.oid = "
                              "a.atttypid WHERE a.attrelid = $1 AND a.attnum > 0",
                              1, type, param, nullptr, nullptr, 0));
        if (result && PQresultStatus(result.get()) == PGRES_TUPLES_OK) {
            for (int row = 0; row < PQntuples(result.get()); ++row) {
                std::string name = PQgetvalue(result.get(), row, 1);
                int number = std::atoi(PQgetvalue(result.get(), row, 0));
                columns[number] = name == "datetime" ? "DATETIME" : name == "bool" ? "BOOLEAN" : "";
            }
        }
        found = declared_.find(table);
    }
    auto it = found->second.find(column);
    return it == found->second.end() ? none : it->second;
}

std::vector<SqlRow> PostgresConnection::rowsOf(pg_result *result)
{
    int columns = PQnfields(result);
    SqlRow shape;
    for (int c = 0; c < columns; ++c) {
        SqlField field;
        field.name = PQfname(result, c);
        if (auto it = columnNames_.find(field.name); it != columnNames_.end())
            field.name = it->second;
        field.declaredType = declaredType(PQftable(result, c), PQftablecol(result, c));
        shape.push_back(std::move(field));
    }
    std::vector<SqlRow> rows;
    for (int r = 0; r < PQntuples(result); ++r) {
        SqlRow row = shape;
        for (int c = 0; c < columns; ++c)
            row[size_t(c)].value = valueOf(result, r, c);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<SqlRow> PostgresConnection::query(const std::string &sql, const std::vector<SqlValue> &values,
                                              const std::map<std::string, SqlValue> &named)
{
    return rowsOf(run(sql, values, named).result.get());
}

int PostgresConnection::execute(const std::string &sql, const std::vector<SqlValue> &values,
                                const std::map<std::string, SqlValue> &named)
{
    Result result = run(sql, values, named);
    return std::atoi(PQcmdTuples(result.result.get()));
}

void PostgresConnection::script(const std::string &sql)
{
    ResultPtr result = awaitResult(PQsendQuery(conn_, sql.c_str()));
    auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail(result.get(), "statement");
}

void PostgresConnection::beginWrite()
{
    script("BEGIN");
}

std::string PostgresConnection::changeStamp()
{
    // Two equal snapshots see the same committed transactions, so the same data: one short
    // round trip tells whether a kept answer still holds.
    auto stamp = scalar("SELECT pg_current_snapshot()::text");
    return stamp ? sqlValueText(*stamp) : std::string();
}

bool PostgresConnection::usable()
{
    if (abandoned_)
        return false;
    // An idle connection learns of a server that went away (restart, failover) only by
    // reading, before a request is sent on it. A server that shut down sent its goodbye and
    // then closed: one read takes the goodbye and leaves the status good, the next meets the
    // end of the stream. libpq's socket does not block, so reads of nothing are cheap.
    for (int read = 0; read < 2; ++read)
        if (PQstatus(conn_) != CONNECTION_OK || PQconsumeInput(conn_) != 1)
            return false;
    return PQstatus(conn_) == CONNECTION_OK;
}
