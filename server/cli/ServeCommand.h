#pragma once

#include "http/HttpFrontEnd.h"

#include <iosfwd>
#include <string>

// "serve": opens the store, answers on HTTP (or HTTPS) until SIGINT or SIGTERM, then stops
// taking requests, lets the answers being made or written go out and returns. SIGHUP reads
// the certificate and key again. Signals and the demo feed wait on the front end's I/O
// context: no thread of their own.
// Database calls and password hashing run on worker pools of their own. It starts while the
// database is down (requests then get faults) and brings the schema up to date once it
// answers.
class ServeCommand
{
public:
    struct Settings
    {
        HttpFrontEnd::Options http;
        std::string shownHost; // the host as the operator wrote it ("[::1]")
        std::string database;
        long long demoFeedSeconds = 0; // 0: no demo feed
        // The operators' console and metrics on a listener of their own; off when adminPort < 0.
        std::string adminHost = "127.0.0.1";
        std::string shownAdminHost;
        int adminPort = -1;
        // "http://host:port" clients reach the service by (behind a proxy, the proxy's); empty:
        // the address it listens on.
        std::string publicUrl;
        std::size_t maxPendingApplications = 1000;
        int storeThreads = 4;   // database calls
        int hashingThreads = 2; // password hashing
    };

    // Prints "listening on http://HOST:PORT" (https:// with a certificate) to out once requests are taken
    // (and "console on http://HOST:PORT" first when the console is on), "stopped" to err at the end;
    // returns the process exit code.
    static int run(const Settings &settings, std::ostream &out, std::ostream &err);
};
