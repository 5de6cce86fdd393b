#pragma once

#include "LoginThrottle.h"
#include "SoapRequest.h"
#include "Store.h"

#include <chrono>
#include <string>

// The ten operations of the service. Each answers its result as text; a statement the
// service does not run, or a failure of the store, throws ServerFault; an unreadable
// parameter throws ClientFault.
class WebService
{
public:
    explicit WebService(Store &store) : store_(store), throttle_(store) {}

    struct Caller
    {
        // "http://host:port": turns the configured page addresses that begin with "/" (pages
        // this service serves) into absolute ones for the caller.
        std::string siteAddress;
        // The address the request came from: what the account's writes are bound to.
        std::string address;
    };

    std::string call(const SoapRequest &request, const Caller &caller);

    // A text value a statement stores is at most this many characters, as in a Jet text
    // column; a longer one is refused and nothing is stored.
    static constexpr std::size_t maxTextLength = 255;

    std::string yanzheng(const std::string &username, const std::string &userpass,
                         const std::string &address);
    std::string zhixing(const std::string &sql, const std::string &address);
    std::string hqSys_pz(const std::string &siteAddress);
    std::string hqdlyhxx(const std::string &username, const std::string &userpass,
                         const std::string &address);
    int hqsfczjl(const std::string &strsql);
    std::string hqsametable(const std::string &strsql, const std::string &siteAddress);
    std::string ifchangetable(int userdj);
    std::string hqdlsj(const std::string &userid);

    // Quotes a title for the change-counter text: one item for the client's delimited-text
    // split whatever blanks or commas it holds.
    static std::string quoteItem(const std::string &text);

    // How long to hold a password check from this address (repeated failures slow it down).
    std::chrono::milliseconds loginDelay(const std::string &address) { return throttle_.delayFor(address); }
    // The account whose name and password match; a mismatch counts against the address.
    std::optional<Store::Account> checkPassword(const std::string &username, const std::string &password,
                                                const std::string &address);

private:
    std::string changeCounterText(Connection &connection, int userdj);

    Store &store_;
    LoginThrottle throttle_;
};
