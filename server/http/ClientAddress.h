#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

// Whose request is it: the address at the other end of the connection, or, when that is a
// proxy the operator named as trusted, the address that proxy put into X-Forwarded-For.
// Entries a client wrote itself sit left of the proxy's and are never taken.
class ClientAddress
{
public:
    // Throws std::runtime_error for a text that is not an IPv4 or IPv6 address.
    explicit ClientAddress(const std::vector<std::string> &trustedProxies = {});

    bool trusted(const std::string &address) const;

    // forwardedFor: the X-Forwarded-For header values in the order received. nullopt when a
    // trusted proxy's entry is not an address (the proxy is misconfigured: the request is
    // refused rather than answered for an address nobody can tell).
    std::optional<std::string> resolve(const std::string &peer,
                                       const std::vector<std::string> &forwardedFor) const;

    // One spelling per address ("::ffff:10.0.0.1" is "10.0.0.1"); nullopt for other text.
    static std::optional<std::string> normalise(const std::string &text);

private:
    std::set<std::string> trusted_;
};
