#include "store/CopiedTable.h"

#include "store/DateTimeText.h"
#include "store/Stream.h"
#include "store/Utf8Text.h"

#include <cctype>

namespace {

using Kind = CopiedTable::Kind;

// A stream table: its id, the columns Stream names, its level.
CopiedTable streamTable(const Stream &stream)
{
    CopiedTable table{stream.table, {{"id", Kind::Integer}}, {"id"}};
    for (const Stream::Column &column : stream.columns)
        table.columns.push_back(
            {column.name, std::string(column.name) == "nowtime" ? Kind::DateTime : Kind::Text});
    table.columns.push_back({"XinXiDJ", Kind::Integer});
    return table;
}

std::vector<CopiedTable> makeTables()
{
    const Kind I = Kind::Integer, T = Kind::Text, D = Kind::DateTime, B = Kind::Boolean;
    std::vector<CopiedTable> tables = {
        {"Sys_pz",
         {{"id", I},
          {"gpsysname", T},
          {"syszjxx", T},
          {"kfqq", T},
          {"yhqyhyfj", B},
          {"ifctzqd", B},
          {"hqurl", T},
          {"khdsxsj", I},
          {"sytsxx", T}},
         {"id"}},
        {"Sys_url", {{"id", I}}, {"id"}},
        {"UserTable", {{"id", I}, {"username", T}, {"userpas", T}, {"UserDJ", I}, {"reachtime", D}}, {"id"}},
        {"NewUser", {{"id", I}, {"usetrname", T}, {"zcmm", T}, {"zhucetime", D}, {"shouji", T}}, {"id"}},
        {"userdl",
         {{"userid", I},
          {"userzh", T},
          {"userpas", T},
          {"userdqsj", D},
          {"userdlsj", D},
          {"userdlip", T},
          {"holderip", T}},
         {"userid"}},
    };
    for (const char *page : {"yjglmc", "smncmc", "xwzxmc", "xwzxurl", "sshqmc", "sshqurl", "jzpgmc",
                             "jzpgurl", "ggdamc", "ggdaurl", "dpzjmc", "dpzjurl", "yjbgmc", "yjbgurl"})
        tables[1].columns.push_back({page, T});
    for (const Stream &stream : Stream::all())
        tables.push_back(streamTable(stream));
    tables.push_back(
        {"PasswordProof", {{"userid", I}, {"address", T}, {"provedAt", I}}, {"userid", "address"}});
    tables.push_back(
        {"ChangeCounter", {{"stream", T}, {"level", I}, {"added", I}, {"revised", I}}, {"stream", "level"}});
    tables.push_back({"Operator", {{"id", I}, {"name", T}, {"passhash", T}, {"created", D}}, {"id"}});
    tables.push_back({"OperatorAudit",
                      {{"id", I}, {"actedAt", D}, {"operatorName", T}, {"address", T}, {"action", T}},
                      {"id"}});
    return tables;
}

std::string lowered(std::string text)
{
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<std::string> convertText(SqlValue &value)
{
    if (auto *number = std::get_if<std::int64_t>(&value)) {
        value = std::to_string(*number);
        return std::nullopt;
    }
    auto *text = std::get_if<std::string>(&value);
    if (!text)
        return "holds a number where text belongs";
    if (!Utf8Text::valid(*text))
        return "holds invalid UTF-8 bytes";
    return std::nullopt;
}

std::optional<std::string> convertDateTime(SqlValue &value)
{
    auto *text = std::get_if<std::string>(&value);
    auto time = text && Utf8Text::valid(*text) ? DateTimeText::normalise(*text) : std::nullopt;
    if (!time)
        return "holds no date-time (yyyy-mm-dd hh:mm:ss)";
    value = *time;
    return std::nullopt;
}

std::optional<std::string> convertBoolean(SqlValue &value)
{
    if (auto *number = std::get_if<std::int64_t>(&value)) {
        value = std::int64_t(*number != 0);
        return std::nullopt;
    }
    auto *text = std::get_if<std::string>(&value);
    std::string word = text ? lowered(*text) : std::string();
    if (word != "true" && word != "false" && word != "1" && word != "0")
        return "holds neither true nor false";
    value = std::int64_t(word == "true" || word == "1");
    return std::nullopt;
}

std::optional<std::string> convertValue(Kind kind, SqlValue &value)
{
    if (std::holds_alternative<std::monostate>(value))
        return std::nullopt; // NULL: the target's own NOT NULL decides
    switch (kind) {
    case Kind::Integer:
        if (std::holds_alternative<std::int64_t>(value))
            return std::nullopt;
        return "holds no whole number";
    case Kind::Text:
        return convertText(value);
    case Kind::DateTime:
        return convertDateTime(value);
    case Kind::Boolean:
        return convertBoolean(value);
    }
    return std::nullopt;
}

} // namespace

const std::vector<CopiedTable> &CopiedTable::all()
{
    static const std::vector<CopiedTable> tables = makeTables();
    return tables;
}

std::string CopiedTable::quoted(const std::string &name)
{
    std::string quoted = "\"";
    for (char c : lowered(name))
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string CopiedTable::insertStatement(const std::vector<const Column *> &columns) const
{
    std::string names, marks;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::string mark = "?" + std::to_string(i + 1);
        names += (i ? ", " : "") + quoted(columns[i]->name);
        // A boolean goes in as a comparison, which each database turns into its own kind
        // of truth value.
        marks += (i ? ", " : "") + (columns[i]->kind == Kind::Boolean ? "(" + mark + " <> 0)" : mark);
    }
    return "INSERT INTO " + quoted(name) + "(" + names + ") VALUES(" + marks + ")";
}

std::optional<std::string> CopiedTable::convert(const std::vector<const Column *> &columns,
                                                std::vector<SqlValue> &values)
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (auto why = convertValue(columns[i]->kind, values[i]))
            return columns[i]->name + " " + *why;
    return std::nullopt;
}

std::string CopiedTable::keyOf(const std::vector<const Column *> &columns,
                               const std::vector<SqlValue> &values) const
{
    std::string names, shown;
    for (std::size_t k = 0; k < key.size(); ++k) {
        names += (k ? "/" : "") + key[k];
        shown += k ? "/" : "";
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i]->name == key[k])
                shown += sqlValueText(values[i]);
    }
    return names + " " + shown;
}
