#include "store/OperatorAccounts.h"

#include "store/DateTimeText.h"
#include "store/PasswordHash.h"
#include "store/Store.h"

#include <stdexcept>

bool OperatorAccounts::acceptableName(const std::string &name)
{
    if (name.empty() || name.size() > maxNameLength)
        return false;
    for (unsigned char c : name)
        if (c <= 0x20 || c == 0x7f)
            return false;
    return true;
}

void OperatorAccounts::add(const std::string &name, const std::string &password)
{
    if (!acceptableName(name))
        throw std::runtime_error("an operator name is 1 to " + std::to_string(maxNameLength) +
                                 " bytes without blanks or control characters");
    if (password.empty())
        throw std::runtime_error("an operator's password must not be empty");
    std::string hashed = PasswordHash::hash(password);
    store_.with([&](DatabaseConnection &c) {
        try {
            c.execute("INSERT INTO Operator(name, passhash, created) VALUES(?1, ?2, ?3)",
                      {name, hashed, DateTimeText::toSeconds(DateTimeText::now())});
        } catch (const ConstraintError &) {
            throw std::runtime_error("operator " + name + " exists already");
        }
    });
}

void OperatorAccounts::remove(const std::string &name)
{
    store_.with([&](DatabaseConnection &c) {
        if (c.execute("DELETE FROM Operator WHERE name=?1", {name}) == 0)
            throw std::runtime_error("no operator " + name);
    });
}

std::vector<SqlRow> OperatorAccounts::list()
{
    return store_.with(
        [](DatabaseConnection &c) { return c.query("SELECT id, name, created FROM Operator ORDER BY id"); });
}

bool OperatorAccounts::exists(const std::string &name)
{
    return store_.with([&](DatabaseConnection &c) {
        return c.scalar("SELECT id FROM Operator WHERE name=?1", {name}).has_value();
    });
}

bool OperatorAccounts::verify(const std::string &name, const std::string &password)
{
    auto stored = store_.with([&](DatabaseConnection &c) {
        return c.scalar("SELECT passhash FROM Operator WHERE name=?1", {name});
    });
    if (!stored) {
        PasswordHash::burn(password);
        return false;
    }
    return PasswordHash::verify(password, sqlValueText(*stored));
}

void OperatorAccounts::audit(const std::string &operatorName, const std::string &address,
                             const std::string &action)
{
    store_.with([&](DatabaseConnection &c) {
        c.execute("INSERT INTO OperatorAudit(actedAt, operatorName, address, action) VALUES(?1, ?2, ?3, ?4)",
                  {DateTimeText::toSeconds(DateTimeText::now()), operatorName, address, action});
    });
}

std::vector<SqlRow> OperatorAccounts::auditList(int limit)
{
    return store_.with([&](DatabaseConnection &c) {
        return c.query(
            "SELECT id, actedAt, operatorName, address, action FROM OperatorAudit ORDER BY id DESC LIMIT ?1",
            {std::int64_t(limit)});
    });
}
