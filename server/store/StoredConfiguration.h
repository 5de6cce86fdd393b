#pragma once

#include "store/DatabaseConnection.h"

#include <string>

class Store;

// The configuration rows the clients read at sign-in: one row of Sys_pz (system settings)
// and one of Sys_url (page titles and addresses). Only their known columns can be read or
// written here, so a column name never reaches SQL from outside.
class StoredConfiguration
{
public:
    explicit StoredConfiguration(Store &store) : store_(store) {}

    static bool knownColumn(const std::string &table, const std::string &column);

    // The table's first row; empty when it has none.
    SqlRow row(const std::string &table);
    bool hasRow(const std::string &table) { return !row(table).empty(); }
    // Sets one column of the table's first row, making the row when there is none. A
    // boolean column takes an integer (0 or 1).
    void set(const std::string &table, const std::string &column, const SqlValue &value);

private:
    Store &store_;
};
