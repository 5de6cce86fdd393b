#include "http/ClientAddress.h"

#include <arpa/inet.h>

#include <cstring>

#include <stdexcept>

ClientAddress::ClientAddress(const std::vector<std::string> &trustedProxies)
{
    for (const std::string &proxy : trustedProxies) {
        auto address = normalise(proxy);
        if (!address)
            throw std::runtime_error("--trusted-proxy takes an IPv4 or IPv6 address: " + proxy);
        trusted_.insert(*address);
    }
}

bool ClientAddress::trusted(const std::string &address) const
{
    return trusted_.count(address) > 0;
}

std::optional<std::string> ClientAddress::normalise(const std::string &input)
{
    std::string text = input;
    if (text.size() > 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    char buffer[INET6_ADDRSTRLEN];
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return std::string(inet_ntop(AF_INET, &v4, buffer, sizeof buffer));
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1)
        return std::nullopt;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, &v6.s6_addr[12], 4);
        return std::string(inet_ntop(AF_INET, &v4, buffer, sizeof buffer));
    }
    return std::string(inet_ntop(AF_INET6, &v6, buffer, sizeof buffer));
}

std::optional<std::string> ClientAddress::resolve(const std::string &peer,
                                                  const std::vector<std::string> &forwardedFor) const
{
    std::string current = normalise(peer).value_or(peer);
    if (!trusted(current))
        return current;
    std::vector<std::string> entries;
    for (const std::string &header : forwardedFor) {
        size_t start = 0;
        while (start <= header.size()) {
            size_t end = header.find(',', start);
            if (end == std::string::npos)
                end = header.size();
            std::string entry = header.substr(start, end - start);
            size_t first = entry.find_first_not_of(" \t");
            size_t last = entry.find_last_not_of(" \t");
            entries.push_back(first == std::string::npos ? std::string()
                                                         : entry.substr(first, last - first + 1));
            start = end + 1;
        }
    }
    // From the right: each trusted hop vouches for the entry left of it.
    while (!entries.empty() && trusted(current)) {
        auto address = normalise(entries.back());
        if (!address)
            return std::nullopt;
        current = *address;
        entries.pop_back();
    }
    return current;
}
