#include "service/WebService.h"

#include "service/DataSetWriter.h"
#include "service/StatementCatalogue.h"
#include "soap/ClientFault.h"
#include "soap/ServerFault.h"
#include "store/DateTimeText.h"
#include "store/PasswordHash.h"
#include "store/Stream.h"

#include <ctime>

namespace {

const std::string unknownStatement = "The statement is not one this service runs.";

std::size_t characters(const std::string &utf8)
{
    std::size_t count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

// Values of a matched statement as SQLite parameters.
std::vector<SqlValue> bindValues(const StatementCatalogue::Match &match)
{
    std::vector<SqlValue> values;
    for (const auto &value : match.values) {
        if (value.kind != StatementCatalogue::ValueKind::Integer &&
            characters(value.text) > WebService::maxTextLength)
            throw ServerFault("A text value is longer than " + std::to_string(WebService::maxTextLength) +
                              " characters.");
        switch (value.kind) {
        case StatementCatalogue::ValueKind::Integer:
            values.push_back(std::int64_t(std::stoll(value.text)));
            break;
        case StatementCatalogue::ValueKind::Password:
            values.push_back(PasswordHash::hash(value.text));
            break;
        case StatementCatalogue::ValueKind::DateText:
            values.push_back(DateTimeText::normalise(value.text).value_or(value.text));
            break;
        default:
            values.push_back(value.text);
        }
    }
    return values;
}

std::map<std::string, SqlValue> clockValues(const std::string &address = {})
{
    return {{"?89", std::int64_t(time(nullptr)) - Store::proofSeconds},
            {"?90", address},
            {"?91", DateTimeText::now()},
            {"?92", DateTimeText::midnight(0)},
            {"?93", DateTimeText::midnight(1)}};
}

StatementCatalogue::Match recognise(const std::string &sql, StatementCatalogue::Operation operation)
{
    auto match = StatementCatalogue::match(sql);
    if (!match || !(match->entry->operations & operation))
        throw ServerFault(unknownStatement);
    return *match;
}

// Configured addresses that name a page of this service ("/pages/news.html") are answered
// as absolute addresses on the host the caller reached.
void resolvePageAddresses(std::vector<SqlRow> &rows, const std::string &siteAddress)
{
    for (SqlRow &row : rows) {
        for (SqlField &field : row) {
            auto *text = std::get_if<std::string>(&field.value);
            bool address = field.name.size() > 3 && field.name.compare(field.name.size() - 3, 3, "url") == 0;
            if (address && text && !text->empty() && (*text)[0] == '/')
                *text = siteAddress + *text;
        }
    }
}

std::string lower(std::string text)
{
    for (auto &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

const std::vector<WebService::Operation> &WebService::operations()
{
    using Service = WebService;
    using Call = const SoapRequest &;
    using From = const Caller &;
    static const std::vector<Operation> table = {
        {"addition",
         {{"i", "s:double"}, {"j", "s:double"}},
         "s:double",
         [](Service &, Call r, From) { return SoapRequest::formatDouble(r.real("i") + r.real("j")); }},
        {"yanzheng",
         {{"username", "s:string"}, {"userpass", "s:string"}},
         "s:string",
         [](Service &s, Call r, From f) {
             return s.yanzheng(r.text("username"), r.text("userpass"), f.address);
         }},
        {"zhixing",
         {{"sql", "s:string"}},
         "s:string",
         [](Service &s, Call r, From f) { return s.zhixing(r.text("sql"), f.address); }},
        {"jian",
         {{"i", "s:double"}, {"j", "s:double"}},
         "s:double",
         [](Service &, Call r, From) { return SoapRequest::formatDouble(r.real("i") - r.real("j")); }},
        {"hqSys_pz", {}, "s:string", [](Service &s, Call, From f) { return s.hqSys_pz(f.siteAddress); }},
        {"hqdlyhxx",
         {{"username", "s:string"}, {"userpass", "s:string"}},
         "s:string",
         [](Service &s, Call r, From f) {
             return s.hqdlyhxx(r.text("username"), r.text("userpass"), f.address);
         }},
        {"hqsfczjl",
         {{"strsql", "s:string"}},
         "s:int",
         [](Service &s, Call r, From) { return std::to_string(s.hqsfczjl(r.text("strsql"))); }},
        {"hqsametable",
         {{"strsql", "s:string"}},
         "s:string",
         [](Service &s, Call r, From f) { return s.hqsametable(r.text("strsql"), f.siteAddress); }},
        {"ifchangetable",
         {{"userdj", "s:int"}},
         "s:string",
         [](Service &s, Call r, From) { return s.ifchangetable(r.int32("userdj")); }},
        {"hqdlsj",
         {{"userid", "s:string"}},
         "s:string",
         [](Service &s, Call r, From) { return s.hqdlsj(r.text("userid")); }},
    };
    return table;
}

const std::set<std::string> &WebService::operationNames()
{
    static const std::set<std::string> names = [] {
        std::set<std::string> all;
        for (const Operation &operation : operations())
            all.insert(operation.name);
        return all;
    }();
    return names;
}

std::string WebService::call(const SoapRequest &request, const Caller &caller)
{
    for (const Operation &operation : operations())
        if (request.operation() == operation.name)
            return operation.run(*this, request, caller);
    throw ClientFault("Unknown operation " + request.operation() + ".", false);
}

std::optional<Store::Account> WebService::checkPassword(const std::string &username,
                                                        const std::string &password,
                                                        const std::string &address)
{
    auto account = store_.verify(username, password);
    if (!account)
        throttle_.recordFailure(address);
    return account;
}

std::vector<SqlRow> WebService::insiderItems(std::int64_t level)
{
    const std::string table = Stream::named("insider")->table;
    return store_.with([&](DatabaseConnection &c) {
        // The level shown is the account's own: a level in the address cannot raise it.
        return store_.tieringOn(c)
                   ? c.query("SELECT nowtime, bt, nr FROM " + table + " WHERE " +
                                 Stream::visibleTo("XinXiDJ", "?1") + " ORDER BY id DESC LIMIT 200",
                             {level})
                   : c.query("SELECT nowtime, bt, nr FROM " + table + " ORDER BY id DESC LIMIT 200");
    });
}

std::string WebService::yanzheng(const std::string &username, const std::string &userpass,
                                 const std::string &address)
{
    auto account = checkPassword(username, userpass, address);
    if (account)
        store_.recordProof(account->id, address);
    return account ? "true" : "false";
}

std::string WebService::zhixing(const std::string &sql, const std::string &address)
{
    auto match = recognise(sql, StatementCatalogue::Execute);
    auto values = bindValues(match);
    auto named = clockValues(address);
    try {
        bool refused = store_.with([&](DatabaseConnection &c) {
            if (c.execute(match.entry->sql, values, named) > 0)
                return false;
            // A write that changed nothing did not do what it was sent for (no such row, or
            // not this caller's to write), except a delete of a row that is already gone.
            if (lower(std::string(match.entry->sql).substr(0, 6)) != "delete")
                return true;
            return match.entry->refusedIf && !c.query(match.entry->refusedIf, values, named).empty();
        });
        return refused ? "false" : "true";
    } catch (const ConstraintError &) {
        return "false";
    } catch (const std::runtime_error &error) {
        throw ServerFault(error.what());
    }
}

std::string WebService::hqSys_pz(const std::string &siteAddress)
{
    auto rows = store_.with([](DatabaseConnection &c) {
        return c.query(
            "SELECT gpsysname, syszjxx, kfqq, yhqyhyfj, ifctzqd, hqurl, khdsxsj, sytsxx FROM Sys_pz "
            "ORDER BY id");
    });
    resolvePageAddresses(rows, siteAddress);
    return DataSetWriter::write(rows);
}

std::string WebService::hqdlyhxx(const std::string &username, const std::string &userpass,
                                 const std::string &address)
{
    auto account = checkPassword(username, userpass, address);
    if (!account)
        return DataSetWriter::write({});
    store_.recordProof(account->id, address);
    // The stored password is a hash: the caller gets back the password it proved it knows.
    SqlRow row = {
        {"id", "", account->id},
        {"username", "", account->username},
        {"userpas", "", userpass},
        {"reachtime", "DATETIME", account->reachtime.empty() ? SqlValue() : SqlValue(account->reachtime)},
        {"UserDJ", "", account->level},
    };
    return DataSetWriter::write({row});
}

int WebService::hqsfczjl(const std::string &strsql)
{
    auto match = recognise(strsql, StatementCatalogue::Count);
    auto values = bindValues(match);
    try {
        auto count = store_.with([&](DatabaseConnection &c) {
            return c.query(std::string("SELECT count(*) FROM (") + match.entry->sql + ") AS counted", values,
                           clockValues());
        });
        return int(std::get<std::int64_t>(count.front().front().value));
    } catch (const std::runtime_error &error) {
        throw ServerFault(error.what());
    }
}

std::string WebService::hqsametable(const std::string &strsql, const std::string &siteAddress)
{
    auto match = recognise(strsql, StatementCatalogue::Rows);
    auto values = bindValues(match);
    std::vector<SqlRow> rows;
    try {
        rows = store_.with(
            [&](DatabaseConnection &c) { return c.query(match.entry->sql, values, clockValues()); });
    } catch (const std::runtime_error &error) {
        throw ServerFault(error.what());
    }
    resolvePageAddresses(rows, siteAddress);
    return DataSetWriter::write(rows);
}

std::string WebService::quoteItem(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += "\"\"";
        else if (static_cast<unsigned char>(c) < 0x20)
            out += ' '; // a line break would split the client's name=value list
        else
            out += c;
    }
    return out + "\"";
}

std::string WebService::ifchangetable(int userdj)
{
    try {
        return store_.with([&](DatabaseConnection &c) {
            // Every subscriber asks this each poll, and the answer changes only with the
            // data: it is kept per level until the database changes.
            auto stamp = c.changeStamp();
            std::string key = "ifchangetable " + std::to_string(userdj);
            if (auto kept = c.keptAnswer(key, stamp))
                return *kept;
            std::string answer = changeCounterText(c, userdj);
            c.keepAnswer(key, stamp, answer);
            return answer;
        });
    } catch (const std::runtime_error &error) {
        throw ServerFault(error.what());
    }
}

std::string WebService::changeCounterText(DatabaseConnection &c, int userdj)
{
    // With tiering a user is told only of items of his level and the public level.
    bool tiered = store_.tieringOn(c);
    std::vector<SqlValue> level{std::int64_t(userdj)};
    auto counters =
        tiered ? c.query("SELECT stream, sum(added), sum(revised) FROM ChangeCounter WHERE " +
                             Stream::visibleTo("level", "?1") + " GROUP BY stream",
                         level)
               : c.query("SELECT stream, sum(added), sum(revised) FROM ChangeCounter GROUP BY stream");
    auto counter = [&](const Stream &stream, int column) -> std::string {
        for (const SqlRow &row : counters)
            if (sqlValueText(row[0].value) == stream.counter)
                return sqlValueText(row[column].value);
        return "0";
    };
    auto newest = [&](const Stream &stream) -> std::string {
        std::string sql = std::string("SELECT nowtime, bt FROM ") + stream.table +
                          (tiered ? " WHERE " + Stream::visibleTo("XinXiDJ", "?1") : "") +
                          " ORDER BY id DESC LIMIT 1";
        auto rows = tiered ? c.query(sql, level) : c.query(sql);
        // Without an item the time still takes its two items and the title one.
        if (rows.empty())
            return "\"\" \"\",\"\"";
        std::string time = DateTimeText::toSeconds(sqlValueText(rows[0][0].value));
        if (time.empty() || time.find(' ') == std::string::npos)
            time = "\"\" \"\"";
        return time + "," + quoteItem(sqlValueText(rows[0][1].value));
    };
    // Per stream its two counters, and for a titled stream its newest item.
    std::string text;
    for (const Stream &stream : Stream::all()) {
        text += (text.empty() ? "" : ",") + counter(stream, 1) + "," + counter(stream, 2);
        if (stream.titled)
            text += "," + newest(stream);
    }
    return text;
}

std::string WebService::hqdlsj(const std::string &userid)
{
    std::string trimmed = userid;
    trimmed.erase(0, trimmed.find_first_not_of(" \t\r\n"));
    trimmed.erase(trimmed.find_last_not_of(" \t\r\n") + 1);
    std::vector<StatementCatalogue::Value> values;
    if (!StatementCatalogue::matchPattern("{N}", false, trimmed, values))
        return {};
    try {
        auto stamp = store_.with([&](DatabaseConnection &c) {
            return c.scalar("SELECT userdlsj FROM userdl WHERE userid=?1",
                            {std::int64_t(std::stoll(trimmed))});
        });
        return stamp ? sqlValueText(*stamp) : std::string();
    } catch (const std::runtime_error &error) {
        throw ServerFault(error.what());
    }
}
