#pragma once

#include <string>
#include <vector>

// One of the four streams of items the service publishes: stock-pool alerts, insider news,
// secret news and live news. Each is kept in a table of its own; the store counts its
// additions and revisions per information level in ChangeCounter under the stream's counter
// name. An item of level 3 is public: with tiering on, a subscriber sees the items of his own
// level and the public ones.
struct Stream
{
    struct Column
    {
        const char *name; // the table's column
        bool required;    // publishing needs it
    };

    const char *word;    // the operator's name for it: stock, insider, secret, news
    const char *table;   // Tuijiangupiao, smnc, smjm, spzx
    const char *counter; // its name in ChangeCounter: gptj, smnc, smjm, spzx
    bool titled;         // the change-counter answer also names its newest item (time, title)
    std::vector<Column> columns;

    // Subscribers and items have a level from 1 (the highest) to the public level 3.
    static constexpr int firstLevel = 1;
    static constexpr int publicLevel = 3;
    static bool isLevel(long long level) { return level >= firstLevel && level <= publicLevel; }

    // Every stream, in the order the change-counter answer lists them.
    static const std::vector<Stream> &all();
    // The stream kept in table; throws std::runtime_error for any other table.
    static const Stream &ofTable(const std::string &table);
    // The stream the operator calls word; nullptr for any other word.
    static const Stream *named(const std::string &word);
    bool hasColumn(const std::string &name) const;

    // SQL that keeps the rows of column's level that a subscriber of the level bound to mark
    // ("?1") may see: his own and the public one.
    static std::string visibleTo(const std::string &column, const std::string &mark);
};
