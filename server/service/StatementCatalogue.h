#pragma once

#include "store/DatabaseConnection.h"

#include <optional>
#include <string>
#include <vector>

// The statements the desktop client sends, each with the parameterised SQLite statement
// that carries out its meaning. Text is never run as SQL: a statement is recognised by its
// shape, its values are read out of it and bound.
//
// Pattern placeholders:
//   {N}  a bare integer                       -> integer
//   {S}  a quoted text, '' inside is one '    -> text
//   {P}  a quoted password                    -> text, hashed before it is stored
//   {T}  a quoted text for a date column      -> text, normalised when it is a date
//   {D}  a date between # marks (yyyy-mm-dd)  -> the midnight that starts it
// They bind to ?1, ?2... in order. The SQL may also use ?91 (now), ?92 (the midnight that
// starts today), ?93 (the one that starts tomorrow), ?90 (the caller's address) and ?89
// (the oldest password proof still good, in seconds since the epoch), ?88 (the level an untiered
// read may show: -1 for all, without tiering) and ?87 (the oldest sign-in whose online record still
// binds its address, as date-time text); SQLite would number :named
// parameters after the highest ?N seen so far and mix them up with later ones.
// Outside placeholders the text must match byte for byte, blanks included; a flexible entry
// instead allows any blanks between tokens and keywords in any letter case.
//
// The protocol carries no credentials on its writes, so the account's writes are bound to
// what the service has seen: a login's online record only from an address that proved the
// account's password within the last two minutes, which then holds the record; the password
// change and the record's removal only from the address that holds it, for a while after the
// sign-in. Reads of paid levels are bound the same way (see WebService).
class StatementCatalogue
{
public:
    enum Operation : unsigned {
        Execute = 1, // zhixing
        Count = 2,   // hqsfczjl
        Rows = 4,    // hqsametable
    };

    struct Entry
    {
        const char *pattern;
        const char *sql;
        unsigned operations;
        bool flexible = false;
        // For a write that changed nothing: a query that finds a row when the write was
        // refused (the row is there but the caller may not touch it), not merely idle.
        const char *refusedIf = nullptr;
        // For a write that stores a password: a query that must find a row before the
        // password is hashed (the caller may make this write at all); when it finds none the
        // write answers "false" at once, and refused writes cost no hashing.
        const char *allowedIf = nullptr;
        // A tiered read: the index of the value that is the information level asked for,
        // which is replaced by the level the caller may read.
        int levelAt = -1;
        // A sign-up: limited per address and by the number of applications waiting.
        bool signUp = false;
    };

    // Every row-returning statement answers at most this many rows (newest first).
    static constexpr int maxRows = 5000;

    enum class ValueKind { Integer, Text, Password, DateText, Date };
    struct Value
    {
        ValueKind kind;
        std::string text; // decimal digits for integers
    };

    struct Match
    {
        const Entry *entry = nullptr;
        std::vector<Value> values;
    };

    static const std::vector<Entry> &entries();
    // The entry whose shape the text has, with the values read out of it.
    static std::optional<Match> match(const std::string &text);
    // Matches one pattern (exposed for tests of the matcher itself).
    static bool matchPattern(const std::string &pattern, bool flexible, const std::string &text,
                             std::vector<Value> &values);
};
