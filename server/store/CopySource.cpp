#include "store/CopySource.h"

#include <cctype>
#include <stdexcept>

namespace {

bool sameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

CopySource::CopySource(std::string path)
    : path_(std::move(path)), connection_(path_, SqliteConnection::Mode::ReadOnlyUntrusted)
{
    // One read transaction for the whole copy: every table as of one moment, should a
    // service still be writing to the file.
    connection_.script("BEGIN");
}

std::optional<std::vector<const CopiedTable::Column *>> CopySource::columnsOf(const CopiedTable &table)
{
    // The file's names are only compared with the known ones, bound as values.
    auto type = connection_.scalar(
        "SELECT type FROM sqlite_schema WHERE type IN ('table', 'view') AND lower(name) = lower(?1)",
        {table.name});
    if (!type)
        return std::nullopt;
    if (sqlValueText(*type) != "table")
        throw std::runtime_error("the source's " + table.name + " is not a table");
    auto names = connection_.query("SELECT name FROM pragma_table_info(?1)", {table.name});
    std::vector<const CopiedTable::Column *> present;
    for (const CopiedTable::Column &column : table.columns)
        for (const SqlRow &name : names)
            if (sameName(sqlValueText(name.front().value), column.name)) {
                present.push_back(&column);
                break;
            }
    if (present.empty())
        return std::nullopt;
    return present;
}

std::vector<std::vector<SqlValue>> CopySource::rows(const CopiedTable &table,
                                                    const std::vector<const CopiedTable::Column *> &columns)
{
    std::string names;
    for (const CopiedTable::Column *column : columns)
        names += (names.empty() ? "" : ", ") + CopiedTable::quoted(column->name);
    std::vector<std::vector<SqlValue>> rows;
    for (SqlRow &row : connection_.query("SELECT " + names + " FROM " + CopiedTable::quoted(table.name))) {
        std::vector<SqlValue> values;
        values.reserve(row.size());
        for (SqlField &field : row)
            values.push_back(std::move(field.value));
        rows.push_back(std::move(values));
    }
    return rows;
}
