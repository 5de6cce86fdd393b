#pragma once

#include "store/DatabaseConnection.h"

#include <string>
#include <vector>

class Store;

// The operators of the web console, with passwords hashed as the subscribers' are, and the
// audit list of what they did. Operators are not subscribers: the client's statements never
// read or write their table.
class OperatorAccounts
{
public:
    explicit OperatorAccounts(Store &store) : store_(store) {}

    // Throw std::runtime_error with a readable message (a name taken, no such operator).
    void add(const std::string &name, const std::string &password);
    void remove(const std::string &name);
    // id, name, created, in the order added.
    std::vector<SqlRow> list();
    bool exists(const std::string &name);
    // Whether the name and password match; an unknown name takes as long as a wrong password.
    bool verify(const std::string &name, const std::string &password);

    // One audit entry: who did what from where, at the current local time.
    void audit(const std::string &operatorName, const std::string &address, const std::string &action);
    // The newest entries first: id, at, operator, address, action.
    std::vector<SqlRow> auditList(int limit);

    // Names are shown in pages and logs: printable, without blanks, at most this long.
    static constexpr std::size_t maxNameLength = 64;
    static bool acceptableName(const std::string &name);

private:
    Store &store_;
};
