#include "service/WebService.h"

#include "service/BlockingCall.h"
#include "service/ChangeFeed.h"
#include "service/DataSetWriter.h"
#include "service/StatementCatalogue.h"
#include "soap/ClientFault.h"
#include "soap/ServerFault.h"
#include "soap/XmlText.h"
#include "store/DateTimeText.h"
#include "store/PasswordHash.h"
#include "store/Stream.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>

#include <cstdlib>
#include <ctime>

namespace net = boost::asio;

// Every awaited call is made in a statement of its own (`auto pending = call(...); co_await
// std::move(pending);`): GCC 12 destroys the temporaries of a co_await expression (a lambda,
// a braced argument) a second time when the coroutine resumes.

namespace {

const std::string unknownStatement = "The statement is not one this service runs.";

std::size_t characters(const std::string &utf8)
{
    std::size_t count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

// Values of a matched statement as parameters, passwords still in clear. Texts are checked
// here, before any work is spent on them.
std::vector<SqlValue> plainValues(const StatementCatalogue::Match &match)
{
    std::vector<SqlValue> values;
    for (const auto &value : match.values) {
        if (value.kind == StatementCatalogue::ValueKind::Integer) {
            values.push_back(std::int64_t(std::stoll(value.text)));
            continue;
        }
        // Counting code points is only right for valid UTF-8; other bytes are refused.
        if (!XmlText::validUtf8(value.text))
            throw ServerFault("A text value is not valid UTF-8.");
        if (characters(value.text) > WebService::maxTextLength)
            throw ServerFault("A text value is longer than " + std::to_string(WebService::maxTextLength) +
                              " characters.");
        if (value.kind == StatementCatalogue::ValueKind::DateText)
            values.push_back(DateTimeText::normalise(value.text).value_or(value.text));
        else
            values.push_back(value.text);
    }
    return values;
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

// The level whose paid items a caller at address may read, asking for level: that level
// when the address holds the online record of a running subscription of that level, signed
// in at or after holdingSince; else the public level.
std::int64_t readableLevel(DatabaseConnection &c, std::int64_t level, const std::string &address,
                           const std::string &holdingSince)
{
    if (level == Stream::publicLevel)
        return level;
    bool holds =
        !c.query("SELECT 1 FROM userdl d JOIN UserTable u ON u.id = d.userid WHERE d.holderip=?1 AND "
                 "d.userdlsj>=?2 AND u.UserDJ=?3 AND (u.reachtime IS NULL OR u.reachtime>=?4) LIMIT 1",
                 {address, holdingSince, level, DateTimeText::midnight(0)})
             .empty();
    return holds ? level : Stream::publicLevel;
}

// Every address that may read a paid level now, with that level: what readableLevel asks
// of one address, for all of them at once.
ChangeFeed::Holders paidLevelHolders(DatabaseConnection &c, const std::string &holdingSince)
{
    ChangeFeed::Holders holders;
    for (const SqlRow &row :
         c.query("SELECT d.holderip, u.UserDJ FROM userdl d JOIN UserTable u ON u.id = d.userid WHERE "
                 "d.holderip IS NOT NULL AND d.userdlsj>=?1 AND (u.reachtime IS NULL OR u.reachtime>=?2)",
                 {holdingSince, DateTimeText::midnight(0)}))
        holders.emplace(sqlValueText(row[0].value),
                        int(std::strtol(sqlValueText(row[1].value).c_str(), nullptr, 10)));
    return holders;
}

} // namespace

void WebService::keepAnswersIn(ChangeFeed &feed)
{
    feed_ = &feed;
    feed.checkHoldersWith([holding = settings_.holding](DatabaseConnection &c) {
        return paidLevelHolders(c, DateTimeText::secondsAgo(holding.count()));
    });
}

template <typename Fn> auto WebService::stored(Fn fn)
{
    auto deadline = WorkerPool::Clock::now() + settings_.databaseDeadline;
    return blockingCall(workers_.store, deadline, [deadline, fn = std::move(fn)]() mutable {
        Store::Deadline bounded(deadline);
        return fn();
    });
}

template <typename Fn> auto WebService::hashed(Fn fn)
{
    return blockingCall(workers_.hashing, WorkerPool::Clock::now() + settings_.hashingDeadline,
                        std::move(fn));
}

WebService::WebService(Store &store, Workers workers, Settings settings)
    : store_(store), workers_(workers), settings_(settings), passwordGate_(settings.passwordChecks),
      signUpGate_(settings.signUps)
{
}

const std::vector<WebService::Operation> &WebService::operations()
{
    using Service = WebService;
    using Call = const SoapRequest &;
    using From = const Caller &;
    static const std::vector<Operation> table = {
        {"addition",
         {{"i", "s:double"}, {"j", "s:double"}},
         "s:double",
         [](Service &, Call r, From) -> Async<std::string> {
             co_return SoapRequest::formatDouble(r.real("i") + r.real("j"));
         }},
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
         [](Service &, Call r, From) -> Async<std::string> {
             co_return SoapRequest::formatDouble(r.real("i") - r.real("j"));
         }},
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
         [](Service &s, Call r, From) -> Async<std::string> {
             std::string sql = r.text("strsql");
             auto counting = s.hqsfczjl(std::move(sql));
             int count = co_await std::move(counting);
             co_return std::to_string(count);
         }},
        {"hqsametable",
         {{"strsql", "s:string"}},
         "s:string",
         [](Service &s, Call r, From f) { return s.hqsametable(r.text("strsql"), f); }},
        {"ifchangetable",
         {{"userdj", "s:int"}},
         "s:string",
         [](Service &s, Call r, From f) { return s.ifchangetable(r.int32("userdj"), f.address); }},
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

WebService::Async<std::string> WebService::call(SoapRequest request, Caller caller)
{
    for (const Operation &operation : operations())
        if (request.operation() == operation.name)
            co_return co_await operation.run(*this, request, caller);
    throw ClientFault("Unknown operation " + request.operation() + ".", false);
}

std::map<std::string, SqlValue> WebService::namedValues(const std::string &address) const
{
    return {{"?87", DateTimeText::secondsAgo(settings_.holding.count())},
            {"?89", std::int64_t(time(nullptr)) - Store::proofSeconds},
            {"?90", address},
            {"?91", DateTimeText::now()},
            {"?92", DateTimeText::midnight(0)},
            {"?93", DateTimeText::midnight(1)}};
}

bool WebService::expired(const Store::Account &account)
{
    return !account.reachtime.empty() && account.reachtime < DateTimeText::midnight(0);
}

WebService::Async<std::optional<Store::Account>>
WebService::checkPassword(std::string username, std::string password, std::string address)
{
    // One check at a time per address, within its budget: parallel guesses from one address
    // are refused at once and cost no hashing.
    auto pass = passwordGate_.enter(address);
    if (!pass)
        co_return std::nullopt;
    auto proving = provePassword(std::move(username), std::move(password), std::move(address));
    co_return co_await std::move(proving);
}

WebService::Async<std::optional<Store::Account>>
WebService::provePassword(std::string username, std::string password, std::string address)
{
    Store *store = &store_;
    LoginThrottle::Settings throttle = throttle_;
    // Failures are counted in the store, so every instance slows the same guesser down.
    auto holdLookup =
        stored([store, throttle, address] { return LoginThrottle(*store, throttle).delayFor(address); });
    auto hold = co_await std::move(holdLookup);
    if (hold.count() > 0) {
        net::steady_timer timer(co_await net::this_coro::executor, hold);
        co_await timer.async_wait(net::use_awaitable);
    }
    auto lookup = stored([store, username] { return store->findAccount(username); });
    auto found = co_await std::move(lookup);
    std::string hash = found ? found->passwordHash : std::string();
    auto hashing = hashed([password, hash, known = found.has_value()] {
        if (known)
            return PasswordHash::verify(password, hash);
        // An unknown name answers no sooner than a wrong password.
        PasswordHash::burn(password);
        return false;
    });
    bool matches = co_await std::move(hashing);
    if (!matches) {
        auto counting = stored([store, throttle, address] {
            LoginThrottle(*store, throttle).recordFailure(address);
            return true;
        });
        co_await std::move(counting);
        co_return std::nullopt;
    }
    co_return found->account;
}

WebService::Async<std::pair<std::int64_t, std::vector<SqlRow>>> WebService::insiderItems(std::int64_t level,
                                                                                         std::string address)
{
    Store *store = &store_;
    std::string holdingSince = DateTimeText::secondsAgo(settings_.holding.count());
    auto reading = stored([store, level, address, holdingSince] {
        return store->with([&](DatabaseConnection &c) {
            std::int64_t shown = readableLevel(c, level, address, holdingSince);
            const std::string table = Stream::named("insider")->table;
            auto rows = store->tieringOn(c)
                            ? c.query("SELECT nowtime, bt, nr FROM " + table + " WHERE " +
                                          Stream::visibleTo("XinXiDJ", "?1") + " ORDER BY id DESC LIMIT 200",
                                      {shown})
                            : c.query("SELECT nowtime, bt, nr FROM " + table + " ORDER BY id DESC LIMIT 200");
            return std::make_pair(shown, std::move(rows));
        });
    });
    co_return co_await std::move(reading);
}

WebService::Async<std::string> WebService::yanzheng(std::string username, std::string userpass,
                                                    std::string address)
{
    auto check = checkPassword(username, userpass, address);
    auto account = co_await std::move(check);
    if (account) {
        Store *store = &store_;
        auto proof = stored([store, id = account->id, address] {
            store->recordProof(id, address);
            return true;
        });
        co_await std::move(proof);
    }
    co_return account ? "true" : "false";
}

WebService::Async<std::string> WebService::zhixing(std::string sql, std::string address)
{
    auto match = recognise(sql, StatementCatalogue::Execute);
    auto values = plainValues(match);
    auto named = namedValues(address);
    const StatementCatalogue::Entry *entry = match.entry;
    std::optional<AddressGate::Pass> signUp =
        entry->signUp ? signUpGate_.enter(address) : std::optional<AddressGate::Pass>();
    if (entry->signUp && !signUp)
        throw ServerFault("Too many sign-ups from this address; please try again later.");
    Store *store = &store_;
    // Whether the caller may make this write at all, asked before any password is hashed.
    std::size_t ceiling = settings_.maxPendingApplications;
    auto authorising = stored([store, entry, values, named, ceiling] {
        return store->with([&](DatabaseConnection &c) {
            if (entry->signUp &&
                std::get<std::int64_t>(c.scalar("SELECT count(*) FROM NewUser").value_or(std::int64_t(0))) >=
                    std::int64_t(ceiling))
                throw ServerFault("Sign-ups are closed for now: too many applications are waiting.");
            return !entry->allowedIf || !c.query(entry->allowedIf, values, named).empty();
        });
    });
    bool allowed = co_await std::move(authorising);
    if (!allowed)
        co_return "false";
    for (std::size_t i = 0; i < match.values.size(); ++i) {
        if (match.values[i].kind != StatementCatalogue::ValueKind::Password)
            continue;
        auto hashing = hashed([clear = match.values[i].text] { return PasswordHash::hash(clear); });
        values[i] = co_await std::move(hashing);
    }
    auto writing = stored([store, entry, values, named] {
        try {
            return store->with([&](DatabaseConnection &c) {
                if (c.execute(entry->sql, values, named) > 0)
                    return std::string("true");
                // A write that changed nothing did not do what it was sent for (no such row,
                // or not this caller's to write), except a delete of a row already gone.
                if (lower(std::string(entry->sql).substr(0, 6)) != "delete")
                    return std::string("false");
                bool refused = entry->refusedIf && !c.query(entry->refusedIf, values, named).empty();
                return std::string(refused ? "false" : "true");
            });
        } catch (const ConstraintError &) {
            return std::string("false");
        }
    });
    auto outcome = co_await std::move(writing);
    co_return outcome;
}

WebService::Async<std::string> WebService::hqSys_pz(std::string siteAddress)
{
    Store *store = &store_;
    auto reading = stored([store] {
        return store->with([](DatabaseConnection &c) {
            return c.query(
                "SELECT gpsysname, syszjxx, kfqq, yhqyhyfj, ifctzqd, hqurl, khdsxsj, sytsxx FROM Sys_pz "
                "ORDER BY id LIMIT 5000");
        });
    });
    auto rows = co_await std::move(reading);
    resolvePageAddresses(rows, siteAddress);
    co_return DataSetWriter::write(rows);
}

WebService::Async<std::string> WebService::hqdlyhxx(std::string username, std::string userpass,
                                                    std::string address)
{
    auto check = checkPassword(username, userpass, address);
    auto account = co_await std::move(check);
    if (!account)
        co_return DataSetWriter::write({});
    Store *store = &store_;
    auto proof = stored([store, id = account->id, address] {
        store->recordProof(id, address);
        return true;
    });
    co_await std::move(proof);
    // An ended subscription signs in as the public level: the client shows the public
    // items and the date it ended.
    std::int64_t level = expired(*account) ? Stream::publicLevel : account->level;
    // The stored password is a hash: the caller gets back the password it proved it knows.
    SqlRow row = {
        {"id", "", account->id},
        {"username", "", account->username},
        {"userpas", "", userpass},
        {"reachtime", "DATETIME", account->reachtime.empty() ? SqlValue() : SqlValue(account->reachtime)},
        {"UserDJ", "", level},
    };
    co_return DataSetWriter::write({row});
}

WebService::Async<int> WebService::hqsfczjl(std::string strsql)
{
    auto match = recognise(strsql, StatementCatalogue::Count);
    auto values = plainValues(match);
    auto named = namedValues({});
    Store *store = &store_;
    auto counting = stored([store, entry = match.entry, values, named] {
        return store->with([&](DatabaseConnection &c) {
            return c.scalar(std::string("SELECT count(*) FROM (") + entry->sql + ") AS counted", values);
        });
    });
    auto count = co_await std::move(counting);
    co_return int(std::get<std::int64_t>(count.value_or(std::int64_t(0))));
}

WebService::Async<std::string> WebService::hqsametable(std::string strsql, Caller caller)
{
    auto match = recognise(strsql, StatementCatalogue::Rows);
    auto values = plainValues(match);
    auto named = namedValues(caller.address);
    Store *store = &store_;
    auto reading = stored([store, entry = match.entry, values, named, address = caller.address]() mutable {
        return store->with([&](DatabaseConnection &c) {
            bool tiered = store->tieringOn(c);
            named["?88"] = std::int64_t(tiered ? Stream::publicLevel : -1);
            if (entry->levelAt >= 0) {
                auto &level = values[std::size_t(entry->levelAt)];
                level = readableLevel(c, std::get<std::int64_t>(level), address,
                                      std::get<std::string>(named["?87"]));
            }
            return c.query(entry->sql, values, named);
        });
    });
    auto rows = co_await std::move(reading);
    resolvePageAddresses(rows, caller.siteAddress);
    co_return DataSetWriter::write(rows);
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

WebService::Async<std::string> WebService::ifchangetable(int userdj, std::string address)
{
    // While the feed keeps the answers and the holders of the paid levels current, a caller it
    // knows is answered from memory: no worker, no database round trip.
    if (feed_) {
        auto level =
            userdj == Stream::publicLevel ? std::optional<int>(userdj) : feed_->heldLevel(address, userdj);
        if (level)
            if (auto kept = feed_->keptAnswerNow(*level))
                co_return *kept;
    }
    Store *store = &store_;
    ChangeFeed *feed = feed_;
    std::string holdingSince = DateTimeText::secondsAgo(settings_.holding.count());
    auto reading = stored([store, feed, userdj, address, holdingSince] {
        std::int64_t level =
            userdj == Stream::publicLevel ? std::int64_t(userdj) : store->with([&](DatabaseConnection &c) {
                return readableLevel(c, userdj, address, holdingSince);
            });
        // Where the feed keeps the answers current (PostgreSQL's notifications), no database
        // round trip is needed for them.
        if (feed)
            if (auto kept = feed->keptAnswer(int(level)))
                return *kept;
        return store->with([&](DatabaseConnection &c) {
            // Every subscriber asks this each poll, and the answer changes only with the
            // data: it is kept per level until the database changes. Only levels some
            // caller may read are keys, so the cache stays as small as the set of levels.
            auto stamp = c.changeStamp();
            std::string key = "ifchangetable " + std::to_string(level);
            if (auto kept = c.keptAnswer(key, stamp))
                return *kept;
            std::string answer = changeCounterText(*store, c, int(level));
            c.keepAnswer(key, stamp, answer);
            return answer;
        });
    });
    co_return co_await std::move(reading);
}

WebService::Async<int> WebService::streamLevel(int userdj, std::string address)
{
    Store *store = &store_;
    ChangeFeed *feed = feed_;
    std::string holdingSince = DateTimeText::secondsAgo(settings_.holding.count());
    auto reading = stored([store, feed, userdj, address, holdingSince] {
        int level = int(store->with(
            [&](DatabaseConnection &c) { return readableLevel(c, userdj, address, holdingSince); }));
        // The level's answer is read here, on a store worker, rather than when the stream
        // opens on a connection's thread.
        if (feed)
            feed->prepare(level);
        return level;
    });
    co_return co_await std::move(reading);
}

std::string WebService::changeCounterText(Store &store, DatabaseConnection &c, int userdj)
{
    // With tiering a user is told only of items of his level and the public level.
    bool tiered = store.tieringOn(c);
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

WebService::Async<std::string> WebService::hqdlsj(std::string userid)
{
    std::string trimmed = userid;
    trimmed.erase(0, trimmed.find_first_not_of(" \t\r\n"));
    trimmed.erase(trimmed.find_last_not_of(" \t\r\n") + 1);
    std::vector<StatementCatalogue::Value> values;
    if (!StatementCatalogue::matchPattern("{N}", false, trimmed, values))
        co_return std::string();
    Store *store = &store_;
    auto reading = stored([store, id = std::int64_t(std::stoll(trimmed))] {
        return store->with([&](DatabaseConnection &c) {
            return c.scalar("SELECT userdlsj FROM userdl WHERE userid=?1", {id});
        });
    });
    auto stamp = co_await std::move(reading);
    co_return stamp ? sqlValueText(*stamp) : std::string();
}
