#pragma once

#include "store/CopiedTable.h"
#include "store/SqliteConnection.h"

#include <optional>
#include <string>
#include <vector>

// An SQLite database file read as the source of a copy. It may come from anywhere: it is
// opened read-only (the file keeps its bytes and its time), nothing its schema defines runs,
// and only the tables and columns this program knows are read.
class CopySource
{
public:
    explicit CopySource(std::string path);

    const std::string &description() const { return path_; }

    // The columns of table the file has, in the table's order; nullopt when it has not the
    // table (a database of an earlier version) or none of its columns. Throws
    // std::runtime_error when the name is there but no table's.
    std::optional<std::vector<const CopiedTable::Column *>> columnsOf(const CopiedTable &table);
    // The values of every row of table in those columns.
    std::vector<std::vector<SqlValue>> rows(const CopiedTable &table,
                                            const std::vector<const CopiedTable::Column *> &columns);

private:
    std::string path_;
    SqliteConnection connection_;
};
