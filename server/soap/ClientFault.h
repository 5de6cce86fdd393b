#pragma once

#include <stdexcept>
#include <string>

// A request the service cannot read (answered as soap:Client). The message is the reason
// given to the caller after the fixed .asmx prefix.
class ClientFault : public std::runtime_error
{
public:
    explicit ClientFault(const std::string &reason, bool unreadable = true)
        : std::runtime_error(reason), unreadable_(unreadable)
    {
    }
    // true: "Server was unable to read request. ---> ..."; false: the message stands alone.
    bool unreadable() const { return unreadable_; }

private:
    bool unreadable_;
};
