#pragma once

#include "SoapRequest.h"
#include "Store.h"

#include <string>

// The ten operations of the service. Each answers its result as text; a statement the
// service does not run, or a failure of the store, throws ServerFault; an unreadable
// parameter throws ClientFault.
class WebService
{
public:
    explicit WebService(Store &store) : store_(store) {}

    // siteAddress ("http://host:port") turns the configured page addresses that begin with
    // "/" (pages this service serves) into absolute ones for the caller.
    std::string call(const SoapRequest &request, const std::string &siteAddress);

    std::string yanzheng(const std::string &username, const std::string &userpass);
    std::string zhixing(const std::string &sql);
    std::string hqSys_pz(const std::string &siteAddress);
    std::string hqdlyhxx(const std::string &username, const std::string &userpass);
    int hqsfczjl(const std::string &strsql);
    std::string hqsametable(const std::string &strsql, const std::string &siteAddress);
    std::string ifchangetable(int userdj);
    std::string hqdlsj(const std::string &userid);

    // Quotes a title for the change-counter text: one item for the client's delimited-text
    // split whatever blanks or commas it holds.
    static std::string quoteItem(const std::string &text);

private:
    Store &store_;
};
