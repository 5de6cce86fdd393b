#pragma once

#include "service/AddressGate.h"
#include "service/LoginThrottle.h"
#include "soap/SoapRequest.h"
#include "store/Store.h"
#include "store/WorkerPool.h"

#include <boost/asio/awaitable.hpp>

#include <chrono>
#include <set>
#include <string>
#include <vector>

class ChangeFeed;

// The ten operations of the service. Each answers its result as text; a statement the
// service does not run, or a failure of the store, throws ServerFault; an unreadable
// parameter throws ClientFault; work that could not be done in time throws ServiceBusy.
//
// Operations are coroutines on the caller's executor (a connection's): their database work
// runs on the store workers, each call with a deadline, and password hashing on workers of
// its own, so the threads that serve connections wait for neither, and a poll never waits
// behind a hash. Work handed to a pool holds copies and the store only: a caller that gave
// up at its deadline may be gone when the work ends.
//
// Paid content is bound to addresses as the account's writes are: the items of a level
// other than the public one are shown only to an address that holds the online record of a
// running subscription of that level, signed in within `holding`; every other caller is
// answered what the public level sees. An ended subscription signs in as the public level.
class WebService
{
public:
    template <typename T> using Async = boost::asio::awaitable<T>;

    struct Settings
    {
        std::chrono::milliseconds databaseDeadline{5000}; // each database call, its wait included
        std::chrono::milliseconds hashingDeadline{5000};
        std::size_t maxPendingApplications = 1000;
        // How long after its sign-in an online record binds its address (writes, paid reads).
        std::chrono::seconds holding{7 * 24 * 3600};
        AddressGate::Settings passwordChecks{20, std::chrono::milliseconds(3000)};
        AddressGate::Settings signUps{3, std::chrono::milliseconds(20 * 60 * 1000)};
    };
    struct Workers
    {
        WorkerPool &store;
        WorkerPool &hashing;
    };

    // store and the workers must outlive the service; the workers must end (join) before
    // the store does.
    WebService(Store &store, Workers workers, Settings settings);

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
        Async<std::string> (*run)(WebService &service, const SoapRequest &request, const Caller &caller);
    };
    // The ten operations in the order the service description lists them. The SOAP reader,
    // the WSDL, the help page and the request log all take them from here.
    static const std::vector<Operation> &operations();
    static const std::set<std::string> &operationNames();

    Async<std::string> call(SoapRequest request, Caller caller);

    // A text value a statement stores is at most this many characters (code points), as in
    // a Jet text column; a longer one is refused and nothing is stored.
    static constexpr std::size_t maxTextLength = 255;

    Async<std::string> yanzheng(std::string username, std::string userpass, std::string address);
    Async<std::string> zhixing(std::string sql, std::string address);
    Async<std::string> hqSys_pz(std::string siteAddress);
    Async<std::string> hqdlyhxx(std::string username, std::string userpass, std::string address);
    Async<int> hqsfczjl(std::string strsql);
    Async<std::string> hqsametable(std::string strsql, Caller caller);
    Async<std::string> ifchangetable(int userdj, std::string address);
    Async<std::string> hqdlsj(std::string userid);

    // Quotes a title for the change-counter text: one item for the client's delimited-text
    // split whatever blanks or commas it holds.
    static std::string quoteItem(const std::string &text);
    // The change-counter text for a subscriber of userdj, computed now.
    static std::string changeCounterText(Store &store, DatabaseConnection &connection, int userdj);
    // Answers ifchangetable from the feed's kept answers where it keeps them, and tells the
    // feed which addresses may go on being told of a paid level. Before any call and before
    // the feed watches; the feed must outlive the workers' work.
    void keepAnswersIn(ChangeFeed &feed);
    // The level whose changes a caller at address is told of on the change stream, asking for
    // userdj: the level whose ifchangetable answer it would be given.
    Async<int> streamLevel(int userdj, std::string address);

    // The account whose name and password match, checked as every password is: at most one
    // check at a time per address and within the address's budget (else refused at once),
    // held back after repeated failures, hashed on the hashing workers. A mismatch counts
    // against the address.
    Async<std::optional<Store::Account>> checkPassword(std::string username, std::string password,
                                                       std::string address);
    // The newest insider items (nowtime, bt, nr) a caller at address may read for level,
    // newest first, and the level they are for.
    Async<std::pair<std::int64_t, std::vector<SqlRow>>> insiderItems(std::int64_t level, std::string address);
    // Whether the account's paid time has ended (before today).
    static bool expired(const Store::Account &account);

private:
    // Runs fn on a store worker, every statement bounded by the database deadline.
    template <typename Fn> auto stored(Fn fn);
    template <typename Fn> auto hashed(Fn fn);
    Async<std::optional<Store::Account>> provePassword(std::string username, std::string password,
                                                       std::string address);
    std::map<std::string, SqlValue> namedValues(const std::string &address) const;

    Store &store_;
    Workers workers_;
    Settings settings_;
    LoginThrottle::Settings throttle_;
    AddressGate passwordGate_;
    AddressGate signUpGate_;
    ChangeFeed *feed_ = nullptr;
};
