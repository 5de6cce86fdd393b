#include "WebService.h"

#include "DataSetWriter.h"
#include "DateTimeText.h"
#include "PasswordHash.h"
#include "ServiceError.h"
#include "StatementCatalogue.h"

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

std::string WebService::call(const SoapRequest &request, const Caller &caller)
{
    const std::string &siteAddress = caller.siteAddress;
    const std::string &op = request.operation();
    if (op == "addition")
        return SoapRequest::formatDouble(request.real("i") + request.real("j"));
    if (op == "jian")
        return SoapRequest::formatDouble(request.real("i") - request.real("j"));
    if (op == "yanzheng")
        return yanzheng(request.text("username"), request.text("userpass"), caller.address);
    if (op == "zhixing")
        return zhixing(request.text("sql"), caller.address);
    if (op == "hqSys_pz")
        return hqSys_pz(siteAddress);
    if (op == "hqdlyhxx")
        return hqdlyhxx(request.text("username"), request.text("userpass"), caller.address);
    if (op == "hqsfczjl")
        return std::to_string(hqsfczjl(request.text("strsql")));
    if (op == "hqsametable")
        return hqsametable(request.text("strsql"), siteAddress);
    if (op == "ifchangetable")
        return ifchangetable(request.int32("userdj"));
    if (op == "hqdlsj")
        return hqdlsj(request.text("userid"));
    throw ClientFault("Unknown operation " + op + ".", false);
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
        bool refused = store_.with([&](Connection &c) {
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
    auto rows = store_.with([](Connection &c) {
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
        auto count = store_.with([&](Connection &c) {
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
        rows = store_.with([&](Connection &c) { return c.query(match.entry->sql, values, clockValues()); });
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
        return store_.with([&](Connection &c) {
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

std::string WebService::changeCounterText(Connection &c, int userdj)
{
    // With tiering a user is told only of items of his level and the public level 3.
    bool tiered = store_.tieringOn(c);
    std::vector<SqlValue> level{std::int64_t(userdj)};
    auto counters =
        tiered ? c.query("SELECT stream, sum(added), sum(revised) FROM ChangeCounter WHERE level IN (?1, 3) "
                         "GROUP BY stream",
                         level)
               : c.query("SELECT stream, sum(added), sum(revised) FROM ChangeCounter GROUP BY stream");
    auto counter = [&](const std::string &stream, int column) -> std::string {
        for (const SqlRow &row : counters)
            if (sqlValueText(row[0].value) == stream)
                return sqlValueText(row[column].value);
        return "0";
    };
    auto newest = [&](const std::string &table) -> std::string {
        std::string sql = "SELECT nowtime, bt FROM " + table +
                          (tiered ? " WHERE XinXiDJ=?1 OR XinXiDJ=3" : "") + " ORDER BY id DESC LIMIT 1";
        auto rows = tiered ? c.query(sql, level) : c.query(sql);
        // Without an item the time still takes its two items and the title one.
        if (rows.empty())
            return "\"\" \"\",\"\"";
        std::string time = DateTimeText::toSeconds(sqlValueText(rows[0][0].value));
        if (time.empty() || time.find(' ') == std::string::npos)
            time = "\"\" \"\"";
        return time + "," + quoteItem(sqlValueText(rows[0][1].value));
    };
    return counter("gptj", 1) + "," + counter("gptj", 2) + "," + counter("smnc", 1) + "," +
           counter("smnc", 2) + "," + newest("smnc") + "," + counter("smjm", 1) + "," + counter("smjm", 2) +
           "," + newest("smjm") + "," + counter("spzx", 1) + "," + counter("spzx", 2);
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
        auto stamp = store_.with([&](Connection &c) {
            return c.scalar("SELECT userdlsj FROM userdl WHERE userid=?1",
                            {std::int64_t(std::stoll(trimmed))});
        });
        return stamp ? sqlValueText(*stamp) : std::string();
    } catch (const std::runtime_error &error) {
        throw ServerFault(error.what());
    }
}
