#include "store/StoredConfiguration.h"

#include "store/Store.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

const std::vector<std::string> systemColumns = {"gpsysname", "syszjxx", "kfqq",    "yhqyhyfj",
                                                "ifctzqd",   "hqurl",   "khdsxsj", "sytsxx"};
const std::vector<std::string> pageColumns = {"yjglmc",  "smncmc",  "xwzxmc",  "xwzxurl", "sshqmc",
                                              "sshqurl", "jzpgmc",  "jzpgurl", "ggdamc",  "ggdaurl",
                                              "dpzjmc",  "dpzjurl", "yjbgmc",  "yjbgurl"};
const std::vector<std::string> booleanColumns = {"yhqyhyfj", "ifctzqd"};

const std::vector<std::string> *columnsOf(const std::string &table)
{
    if (table == "Sys_pz")
        return &systemColumns;
    if (table == "Sys_url")
        return &pageColumns;
    return nullptr;
}

bool contains(const std::vector<std::string> &list, const std::string &name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

} // namespace

bool StoredConfiguration::knownColumn(const std::string &table, const std::string &column)
{
    const auto *columns = columnsOf(table);
    return columns && contains(*columns, column);
}

SqlRow StoredConfiguration::row(const std::string &table)
{
    if (!columnsOf(table))
        throw std::runtime_error("not a configuration table: " + table);
    auto rows = store_.with(
        [&](DatabaseConnection &c) { return c.query("SELECT * FROM " + table + " ORDER BY id LIMIT 1"); });
    return rows.empty() ? SqlRow() : rows.front();
}

void StoredConfiguration::set(const std::string &table, const std::string &column, const SqlValue &value)
{
    if (!knownColumn(table, column))
        throw std::runtime_error("no setting " + column + " in " + table);
    // Each database turns a comparison into its own kind of truth value.
    std::string mark = contains(booleanColumns, column) ? "(?1 <> 0)" : "?1";
    store_.with([&](DatabaseConnection &c) {
        c.transaction([&] {
            auto id = c.scalar("SELECT id FROM " + table + " ORDER BY id LIMIT 1");
            if (!id)
                c.execute("INSERT INTO " + table + "(" + column + ") VALUES(" + mark + ")", {value});
            else
                c.execute("UPDATE " + table + " SET " + column + "=" + mark + " WHERE id=?2", {value, *id});
        });
    });
}
