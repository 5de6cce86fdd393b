#include "console/ConsoleSessions.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <stdexcept>

std::string ConsoleSessions::randomToken()
{
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        throw std::runtime_error("no random bytes for a session token");
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += digits[b >> 4];
        token += digits[b & 15];
    }
    return token;
}

bool ConsoleSessions::sameToken(const std::string &a, const std::string &b)
{
    return !a.empty() && a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string ConsoleSessions::open(const std::string &operatorName, Clock::time_point now)
{
    std::string token = randomToken();
    Session session{operatorName, randomToken(), now, now};
    std::lock_guard lock(mutex_);
    dropExpired(now);
    while (sessions_.size() >= limits_.sessions && !sessions_.empty()) {
        auto oldest = sessions_.begin();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
            if (it->second.lastUsed < oldest->second.lastUsed)
                oldest = it;
        sessions_.erase(oldest);
    }
    sessions_.emplace(token, std::move(session));
    return token;
}

std::optional<ConsoleSessions::Session> ConsoleSessions::find(const std::string &token, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(token);
    if (it == sessions_.end())
        return std::nullopt;
    Session &session = it->second;
    if (now - session.lastUsed > limits_.idle || now - session.started > limits_.life) {
        sessions_.erase(it);
        return std::nullopt;
    }
    session.lastUsed = now;
    return session;
}

void ConsoleSessions::close(const std::string &token)
{
    std::lock_guard lock(mutex_);
    sessions_.erase(token);
}

void ConsoleSessions::closeAllOf(const std::string &operatorName)
{
    std::lock_guard lock(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = it->second.operatorName == operatorName ? sessions_.erase(it) : std::next(it);
}

void ConsoleSessions::dropExpired(Clock::time_point now)
{
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        bool expired = now - it->second.lastUsed > limits_.idle || now - it->second.started > limits_.life;
        it = expired ? sessions_.erase(it) : std::next(it);
    }
}
