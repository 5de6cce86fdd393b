#pragma once

#include "store/DatabaseConnection.h"

#include <optional>
#include <string>
#include <vector>

// A table the copy between databases carries, as this program's own schema describes it.
// Statements name only these tables and columns: a source database's own names never reach
// a statement, whatever its file holds.
struct CopiedTable
{
    enum class Kind { Integer, Text, DateTime, Boolean };
    struct Column
    {
        std::string name; // spelled as the schema spells it
        Kind kind;
    };

    std::string name;
    std::vector<Column> columns;
    std::vector<std::string> key; // the columns that name a row in a report

    // Every table, in the order they are copied: items before ChangeCounter, whose rows
    // replace what the triggers counted while the items came in.
    static const std::vector<CopiedTable> &all();

    // A name as a quoted identifier. Lower case: PostgreSQL folded the schema's unquoted
    // names to it, and SQLite compares names without regard to case.
    static std::string quoted(const std::string &name);

    // The statement that inserts a row of these columns, values bound in their order.
    std::string insertStatement(const std::vector<const Column *> &columns) const;
    // Turns the values of a source row (the columns given, in their order) into what the
    // target takes; the reason when the row cannot go in as it is.
    static std::optional<std::string> convert(const std::vector<const Column *> &columns,
                                              std::vector<SqlValue> &values);
    // The row's key for a report: "id 7", "stream/level gptj/2".
    std::string keyOf(const std::vector<const Column *> &columns, const std::vector<SqlValue> &values) const;
};
