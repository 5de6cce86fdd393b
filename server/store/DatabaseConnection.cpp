#include "store/DatabaseConnection.h"

#include <cstdio>

std::optional<SqlValue> DatabaseConnection::scalar(const std::string &sql,
                                                   const std::vector<SqlValue> &values)
{
    auto rows = query(sql, values);
    if (rows.empty() || rows.front().empty())
        return std::nullopt;
    return rows.front().front().value;
}

void DatabaseConnection::rollbackQuietly()
{
    // The failure that brought us here is the one worth reporting; a lost connection
    // cannot roll back and needs not to.
    try {
        script("ROLLBACK");
    } catch (const std::exception &) {
    }
}

std::optional<std::string> DatabaseConnection::keptAnswer(const std::string &key,
                                                          const std::string &stamp) const
{
    auto it = answers_.find(key);
    if (it == answers_.end() || stamp.empty() || it->second.first != stamp)
        return std::nullopt;
    return it->second.second;
}

void DatabaseConnection::keepAnswer(const std::string &key, const std::string &stamp, std::string answer)
{
    answers_[key] = {stamp, std::move(answer)};
}

std::string sqlValueText(const SqlValue &value)
{
    if (std::holds_alternative<std::int64_t>(value))
        return std::to_string(std::get<std::int64_t>(value));
    if (std::holds_alternative<double>(value)) {
        char buffer[64];
        snprintf(buffer, sizeof buffer, "%.17g", std::get<double>(value));
        return buffer;
    }
    if (std::holds_alternative<std::string>(value))
        return std::get<std::string>(value);
    return {};
}
