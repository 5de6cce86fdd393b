#include "service/StatementCatalogue.h"

#include "store/DateTimeText.h"

#include <cctype>

namespace {

using Entry = StatementCatalogue::Entry;
constexpr unsigned X = StatementCatalogue::Execute;
constexpr unsigned C = StatementCatalogue::Count;
constexpr unsigned R = StatementCatalogue::Rows;

// Jet meanings: datediff("d",nowtime,Date())=0 is "dated today" (local day of the service),
// StrComp(a,b,0)=0 exact case-sensitive equality, top N a limit (id is unique), now() and
// date() the local time and date, #d# the midnight that starts day d.
const std::vector<Entry> catalogue = {
    {"select * from Sys_url", "SELECT * FROM Sys_url ORDER BY id LIMIT 5000", R},

    // Login: the online-users record.
    {" select * from userdl where userid={N}", "SELECT userid FROM userdl WHERE userid=?1", C},
    {.pattern = "update userdl set userzh={S},userpas={P}, userdqsj={T},userdlsj=now(), userdlip={S} where "
                "userid={N}",
     .sql = "UPDATE userdl SET userzh=?1, userpas=?2, userdqsj=?3, userdlsj=?91, userdlip=?4, holderip=?90 "
            "WHERE "
            "userid=?5 AND EXISTS(SELECT 1 FROM PasswordProof WHERE userid=?5 AND address=?90 AND "
            "provedAt>=?89)",
     .operations = X,
     .allowedIf = "SELECT 1 FROM PasswordProof WHERE userid=?5 AND address=?90 AND provedAt>=?89"},
    {.pattern = "Insert into userdl(userid,userzh,userpas,userdqsj,userdlsj,userdlip) "
                "values({N},{S},{P},{T},now(),{S} )",
     .sql = "INSERT INTO userdl(userid,userzh,userpas,userdqsj,userdlsj,userdlip,holderip) SELECT "
            "?1,?2,?3,?4,?91,?5,?90 "
            "WHERE EXISTS(SELECT 1 FROM PasswordProof WHERE userid=?1 AND address=?90 AND provedAt>=?89)",
     .operations = X,
     .allowedIf = "SELECT 1 FROM PasswordProof WHERE userid=?1 AND address=?90 AND provedAt>=?89"},
    {"delete from userdl where userid={N}",
     "DELETE FROM userdl WHERE userid=?1 AND holderip=?90 AND userdlsj>=?87", X, false,
     "SELECT 1 FROM userdl WHERE userid=?1"},
    // The record of one sign-in only: a client that ends after the account signed in again
    // (elsewhere, or on this very machine) must leave the newer sign-in's record alone.
    {"delete from userdl where userid={N} and userdlsj={T}",
     "DELETE FROM userdl WHERE userid=?1 AND userdlsj=?2 AND holderip=?90", X, false,
     "SELECT 1 FROM userdl WHERE userid=?1 AND userdlsj=?2"},

    // Password change.
    {.pattern = "update UserTable set userpas= {P} where id={N}",
     .sql = "UPDATE UserTable SET userpas=?1 WHERE id=?2 AND EXISTS(SELECT 1 FROM userdl WHERE userid=?2 AND "
            "holderip=?90 AND userdlsj>=?87)",
     .operations = X,
     .allowedIf = "SELECT 1 FROM userdl WHERE userid=?2 AND holderip=?90 AND userdlsj>=?87"},

    // Sign-up.
    {"select * from UserTable where (StrComp(username,{S},0)=0) ",
     "SELECT id FROM UserTable WHERE username=?1", C},
    {"select * from NewUser where (StrComp(usetrname,{S},0)=0) ", "SELECT id FROM NewUser WHERE usetrname=?1",
     C},
    {.pattern = "insert into NewUser (usetrname, zcmm, zhucetime, shouji) values ({S}, {P}, date(), {S})",
     .sql = "INSERT INTO NewUser(usetrname,zcmm,zhucetime,shouji) VALUES(?1,?2,?92,?3)",
     .operations = X,
     .flexible = true,
     .allowedIf = "SELECT 1 WHERE NOT EXISTS(SELECT 1 FROM NewUser WHERE usetrname=?1)",
     .signUp = true},

    // Alert list: today's alerts, latest alerts, today's news, each with and without tiering.
    // A tiered read shows the levels the caller may read; an untiered one, the client's form
    // when tiering is off, shows only the public level while it is on (?88).
    {.pattern = "select * from Tuijiangupiao where (XinXiDJ={N} or XinXiDJ=3) and "
                "datediff(\"d\",nowtime,Date())=0 order by id desc ",
     .sql = "SELECT * FROM Tuijiangupiao WHERE (XinXiDJ=?1 OR XinXiDJ=3) AND nowtime>=?92 AND nowtime<?93 "
            "ORDER BY id DESC LIMIT 5000",
     .operations = R,
     .levelAt = 0},
    {"select * from Tuijiangupiao where  datediff(\"d\",nowtime,Date())=0 order by id desc ",
     "SELECT * FROM Tuijiangupiao WHERE (?88<0 OR XinXiDJ=?88) AND nowtime>=?92 AND nowtime<?93 "
     "ORDER BY id DESC LIMIT 5000",
     R},
    {.pattern = "select top 30 * from Tuijiangupiao where (XinXiDJ={N} or XinXiDJ=3)  order by id desc ",
     .sql = "SELECT * FROM Tuijiangupiao WHERE (XinXiDJ=?1 OR XinXiDJ=3) ORDER BY id DESC LIMIT 30",
     .operations = R,
     .levelAt = 0},
    {"select top 30 * from Tuijiangupiao order by id desc ",
     "SELECT * FROM Tuijiangupiao WHERE (?88<0 OR XinXiDJ=?88) ORDER BY id DESC LIMIT 30", R},
    {.pattern = "select * from spzx where (XinXiDJ={N} or XinXiDJ=3) and datediff(\"d\",nowtime,Date())=0 "
                "order by id desc ",
     .sql = "SELECT * FROM spzx WHERE (XinXiDJ=?1 OR XinXiDJ=3) AND nowtime>=?92 AND nowtime<?93 ORDER BY id "
            "DESC LIMIT 5000",
     .operations = R,
     .levelAt = 0},
    {"select * from spzx where  datediff(\"d\",nowtime,Date())=0 order by id desc ",
     "SELECT * FROM spzx WHERE (?88<0 OR XinXiDJ=?88) AND nowtime>=?92 AND nowtime<?93 ORDER BY id "
     "DESC LIMIT 5000",
     R},

    // Alert history for a date range, both ends inclusive.
    {.pattern = "select * from Tuijiangupiao where (XinXiDJ={N} or XinXiDJ=3) and  nowtime>=#{D}# and "
                "nowtime<=#{D}#    order by id desc ",
     .sql = "SELECT * FROM Tuijiangupiao WHERE (XinXiDJ=?1 OR XinXiDJ=3) AND nowtime>=?2 AND nowtime<=?3 "
            "ORDER BY id DESC LIMIT 5000",
     .operations = R,
     .levelAt = 0},
    {"select * from Tuijiangupiao where  nowtime>=#{D}# and nowtime<=#{D}#    order by id desc ",
     "SELECT * FROM Tuijiangupiao WHERE (?88<0 OR XinXiDJ=?88) AND nowtime>=?1 AND nowtime<=?2 ORDER "
     "BY id DESC LIMIT 5000",
     R},
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isWord(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Reads a quoted text at pos (the opening quote included) into out.
bool readQuoted(const std::string &text, size_t &pos, std::string &out)
{
    if (pos >= text.size() || text[pos] != '\'')
        return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        char c = text[pos++];
        if (c != '\'') {
            out += c;
            continue;
        }
        if (pos < text.size() && text[pos] == '\'') {
            out += '\'';
            ++pos;
            continue;
        }
        return true;
    }
    return false; // unterminated
}

bool readInteger(const std::string &text, size_t &pos, std::string &out)
{
    size_t start = pos;
    if (pos < text.size() && text[pos] == '-')
        ++pos;
    size_t digits = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
        ++pos;
    // 18 digits always fit a 64-bit integer.
    if (pos == digits || pos - digits > 18)
        return false;
    out = text.substr(start, pos - start);
    return true;
}

bool readDate(const std::string &text, size_t &pos, std::string &out)
{
    size_t end = text.find('#', pos);
    if (end == std::string::npos)
        return false;
    auto date = DateTimeText::parseDate(text.substr(pos, end - pos));
    if (!date)
        return false;
    out = *date;
    pos = end;
    return true;
}

} // namespace

const std::vector<StatementCatalogue::Entry> &StatementCatalogue::entries()
{
    return catalogue;
}

bool StatementCatalogue::matchPattern(const std::string &pattern, bool flexible, const std::string &text,
                                      std::vector<Value> &values)
{
    values.clear();
    size_t p = 0, t = 0;
    auto skipInput = [&] {
        size_t start = t;
        while (t < text.size() && isSpace(text[t]))
            ++t;
        return t - start;
    };
    if (flexible)
        skipInput();
    while (p < pattern.size()) {
        char pc = pattern[p];
        if (pc == '{' && p + 2 < pattern.size() && pattern[p + 2] == '}') {
            if (flexible)
                skipInput();
            Value value{};
            bool ok = false;
            switch (pattern[p + 1]) {
            case 'N':
                value.kind = ValueKind::Integer;
                ok = readInteger(text, t, value.text);
                break;
            case 'S':
                value.kind = ValueKind::Text;
                ok = readQuoted(text, t, value.text);
                break;
            case 'P':
                value.kind = ValueKind::Password;
                ok = readQuoted(text, t, value.text);
                break;
            case 'T':
                value.kind = ValueKind::DateText;
                ok = readQuoted(text, t, value.text);
                break;
            case 'D':
                value.kind = ValueKind::Date;
                ok = readDate(text, t, value.text);
                break;
            }
            if (!ok)
                return false;
            values.push_back(std::move(value));
            p += 3;
            continue;
        }
        if (!flexible) {
            if (t >= text.size() || text[t] != pc)
                return false;
            ++p, ++t;
            continue;
        }
        if (isSpace(pc)) {
            // Between two words a blank is needed; elsewhere blanks are optional.
            bool between = p > 0 && isWord(pattern[p - 1]);
            while (p < pattern.size() && isSpace(pattern[p]))
                ++p;
            between = between && p < pattern.size() && isWord(pattern[p]);
            if (skipInput() == 0 && between)
                return false;
            continue;
        }
        if (!isWord(pc))
            skipInput();
        else if (p > 0 && !isWord(pattern[p - 1]) && !isSpace(pattern[p - 1]))
            skipInput(); // a word right after punctuation, e.g. "(usetrname"
        if (t >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[t])) != std::tolower(static_cast<unsigned char>(pc)))
            return false;
        // A word of the pattern must not be the start of a longer word of the text.
        if (isWord(pc) && (p + 1 == pattern.size() || !isWord(pattern[p + 1])) && t + 1 < text.size() &&
            isWord(text[t + 1]))
            return false;
        ++p, ++t;
    }
    if (flexible)
        skipInput();
    return t == text.size();
}

std::optional<StatementCatalogue::Match> StatementCatalogue::match(const std::string &text)
{
    Match result;
    for (const Entry &entry : catalogue) {
        if (matchPattern(entry.pattern, entry.flexible, text, result.values)) {
            result.entry = &entry;
            return result;
        }
    }
    return std::nullopt;
}
