#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// One request as the front end read it, with the address it is answered for.
struct HttpRequest
{
    std::string method;
    std::string target; // as sent: path and query
    std::string path;   // the target up to "?"
    int version = 11;   // 10 for HTTP/1.0
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string peerAddress;   // the connection's other end
    std::string clientAddress; // peerAddress, or the forwarded address a trusted proxy added
    // Whether the client reached the service over TLS: this connection's own, or a trusted
    // proxy's that ended TLS and said so with X-Forwarded-Proto. Addresses the service hands
    // out (pages, the service description) use the same scheme.
    bool secure = false;

    // The first header of that name (any letter case).
    std::optional<std::string> header(const std::string &name) const;
    // Every value of that header, in the order received.
    std::vector<std::string> headerValues(const std::string &name) const;
};

// The name=value pairs of a query string, percent-decoded ("+" is a blank). nullopt when a
// value holds a NUL: C strings further on would cut it there ("Secret%00junk" is not
// "Secret").
std::optional<std::vector<std::pair<std::string, std::string>>> decodeQuery(const std::string &query);

// The value of the first pair of that name, or empty text.
std::string queryValue(const std::vector<std::pair<std::string, std::string>> &pairs,
                       const std::string &name);
