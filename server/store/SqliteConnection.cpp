#include "store/SqliteConnection.h"

#include <sqlite3.h>

SqliteConnection::SqliteConnection(const std::string &path, Mode mode)
{
    int flags = SQLITE_OPEN_NOMUTEX |
                (mode == Mode::ReadOnlyUntrusted ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                (mode == Mode::Create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("cannot open database " + path + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    // Several request threads and operator commands share the file: writers wait for each
    // other instead of failing at once.
    sqlite3_busy_timeout(db_, 5000);
    // A statement past the connection's deadline is interrupted (SQLITE_INTERRUPT).
    sqlite3_progress_handler(
        db_, 1000,
        [](void *self) -> int {
            auto *connection = static_cast<SqliteConnection *>(self);
            return connection->deadline_ && Clock::now() >= *connection->deadline_;
        },
        this);
    try {
        if (mode == Mode::ReadOnlyUntrusted)
            distrustSchema();
        else
            script("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

void SqliteConnection::distrustSchema()
{
    // SQLite's advice for database files from elsewhere: no functions with side effects from
    // the schema, no views or triggers, no writes to the schema, and a double-quoted name
    // that names no column is an error, not a text.
    const std::pair<int, int> settings[] = {{SQLITE_DBCONFIG_DEFENSIVE, 1},
                                            {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
                                            {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                                            {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
                                            {SQLITE_DBCONFIG_DQS_DML, 0}};
    for (auto [setting, value] : settings) {
        int rc = sqlite3_db_config(db_, setting, value, nullptr);
        if (rc != SQLITE_OK)
            fail(rc, "configure");
    }
    script("PRAGMA query_only=1");
}

SqliteConnection::~SqliteConnection()
{
    for (auto &[sql, stmt] : cache_)
        sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

void SqliteConnection::fail(int rc, const std::string &what) const
{
    if ((rc & 0xff) == SQLITE_INTERRUPT)
        throw DatabaseTimeout();
    std::string message = what + ": " + sqlite3_errmsg(db_);
    if ((rc & 0xff) == SQLITE_CONSTRAINT)
        throw ConstraintError(message);
    throw std::runtime_error(message);
}

sqlite3_stmt *SqliteConnection::prepare(const std::string &sql)
{
    auto it = cache_.find(sql);
    if (it != cache_.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        return it->second;
    }
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, "prepare");
    cache_.emplace(sql, stmt);
    return stmt;
}

static void bindOne(sqlite3_stmt *stmt, int index, const SqlValue &value)
{
    if (std::holds_alternative<std::int64_t>(value))
        sqlite3_bind_int64(stmt, index, std::get<std::int64_t>(value));
    else if (std::holds_alternative<double>(value))
        sqlite3_bind_double(stmt, index, std::get<double>(value));
    else if (std::holds_alternative<std::string>(value)) {
        const auto &text = std::get<std::string>(value);
        sqlite3_bind_text(stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    } else
        sqlite3_bind_null(stmt, index);
}

void SqliteConnection::bind(sqlite3_stmt *stmt, const std::vector<SqlValue> &values,
                            const std::map<std::string, SqlValue> &named)
{
    for (size_t i = 0; i < values.size(); ++i)
        bindOne(stmt, int(i + 1), values[i]);
    for (const auto &[name, value] : named) {
        int index = sqlite3_bind_parameter_index(stmt, name.c_str());
        if (index > 0)
            bindOne(stmt, index, value);
    }
}

std::vector<SqlRow> SqliteConnection::query(const std::string &sql, const std::vector<SqlValue> &values,
                                            const std::map<std::string, SqlValue> &named)
{
    sqlite3_stmt *stmt = prepare(sql);
    bind(stmt, values, named);
    std::vector<SqlRow> rows;
    int columns = sqlite3_column_count(stmt);
    for (;;) {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            sqlite3_reset(stmt);
            fail(rc, "step");
        }
        SqlRow row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            SqlField field;
            field.name = sqlite3_column_name(stmt, c);
            const char *declared = sqlite3_column_decltype(stmt, c);
            field.declaredType = declared ? declared : "";
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                field.value = std::int64_t(sqlite3_column_int64(stmt, c));
                break;
            case SQLITE_FLOAT:
                field.value = sqlite3_column_double(stmt, c);
                break;
            case SQLITE_NULL:
                break;
            default:
                field.value = std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                                          size_t(sqlite3_column_bytes(stmt, c)));
            }
            row.push_back(std::move(field));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_reset(stmt);
    return rows;
}

int SqliteConnection::execute(const std::string &sql, const std::vector<SqlValue> &values,
                              const std::map<std::string, SqlValue> &named)
{
    query(sql, values, named);
    return sqlite3_changes(db_);
}

void SqliteConnection::script(const std::string &sql)
{
    char *error = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        if ((rc & 0xff) == SQLITE_INTERRUPT)
            throw DatabaseTimeout();
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            throw ConstraintError(message);
        throw std::runtime_error(message);
    }
}

void SqliteConnection::beginWrite()
{
    // Taking the write lock up front: a read-then-write transaction that only asks for it at
    // its first write could find another writer in between and fail instead of waiting.
    script("BEGIN IMMEDIATE");
}

std::string SqliteConnection::changeStamp()
{
    auto version = scalar("PRAGMA data_version");
    auto *number = version ? std::get_if<std::int64_t>(&*version) : nullptr;
    if (!number)
        return {};
    return std::to_string(*number) + "/" + std::to_string(sqlite3_total_changes64(db_));
}
