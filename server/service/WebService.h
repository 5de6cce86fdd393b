#pragma once

#include "service/LoginThrottle.h"
#include "soap/SoapRequest.h"
#include "store/Store.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

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

    // One operation: its parameters and result as the service description declares them
    // (XML Schema types, "s:double") and what carries it out.
    struct Operation
    {
        struct Parameter
        {
            const char *name;
            const char *type;
        };
        const char *name;
        std::vector<Parameter> parameters;
        const char *result;
        std::string (*run)(WebService &service, const SoapRequest &request, const Caller &caller);
    };
    // The ten operations in the order the service description lists them. The SOAP reader,
    // the WSDL, the help page and the request log all take them from here.
    static const std::vector<Operation> &operations();
    static const std::set<std::string> &operationNames();

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
    // The newest insider items (nowtime, bt, nr) a subscriber of level may read, newest first.
    std::vector<SqlRow> insiderItems(std::int64_t level);

private:
    std::string changeCounterText(DatabaseConnection &connection, int userdj);

    Store &store_;
    LoginThrottle throttle_;
};
