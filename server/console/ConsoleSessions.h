#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// The console's signed-in operators, kept in memory: a session token (the cookie) names an
// operator and the token every form of that session must carry (CSRF). A session ends after
// some idle time, after a fixed longest life, or when signed out. Their number is bounded:
// the oldest goes when a new one would pass the bound.
class ConsoleSessions
{
public:
    using Clock = std::chrono::steady_clock;

    struct Session
    {
        std::string operatorName;
        std::string formToken;
        Clock::time_point started;
        Clock::time_point lastUsed;
    };

    struct Limits
    {
        std::chrono::seconds idle{30 * 60};
        std::chrono::seconds life{12 * 60 * 60};
        std::size_t sessions = 256;
    };

    ConsoleSessions() : ConsoleSessions(Limits()) {}
    explicit ConsoleSessions(Limits limits) : limits_(limits) {}

    // A new session for the operator; returns its token.
    std::string open(const std::string &operatorName, Clock::time_point now = Clock::now());
    // The live session of the token (its idle time restarts), or nullopt.
    std::optional<Session> find(const std::string &token, Clock::time_point now = Clock::now());
    void close(const std::string &token);
    // Ends every session of an operator (removed from the command line, say).
    void closeAllOf(const std::string &operatorName);

    // 32 random bytes in hexadecimal, from OpenSSL's generator.
    static std::string randomToken();
    // Constant-time comparison of two tokens.
    static bool sameToken(const std::string &a, const std::string &b);

private:
    void dropExpired(Clock::time_point now);

    Limits limits_;
    std::mutex mutex_;
    std::map<std::string, Session> sessions_;
};
