// The baseline server of bench/server/run-load: the service's own HTTP front end, with the
// service's default threads and limits, answering every request with the ifchangetable answer
// the service gives for a database, made once at start.
//   usage: static-answer-server --db FILE [--listen HOST:PORT]
// Prints "listening on http://HOST:PORT" once it takes requests; stops on SIGINT or SIGTERM.
#include "StaticAnswer.h"

#include "http/HttpFrontEnd.h"
#include "service/WebService.h"
#include "soap/SoapEnvelope.h"
#include "store/Store.h"

#include <boost/asio/signal_set.hpp>

#include <csignal>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    std::string database, listen = "127.0.0.1:0";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--db")
            database = argv[i + 1];
        else if (option == "--listen")
            listen = argv[i + 1];
    }
    std::size_t colon = listen.rfind(':');
    if (database.empty() || colon == std::string::npos) {
        std::cerr << "usage: static-answer-server --db FILE [--listen HOST:PORT]\n";
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    try {
        // As long as the answer run-load measures on the service: the public level's.
        auto store = Store::open(database);
        std::string counters =
            store->with([&](DatabaseConnection &c) { return WebService::changeCounterText(*store, c, 3); });
        StaticAnswer handler(
            {200, "text/xml; charset=utf-8", SoapEnvelope::response("ifchangetable", counters)});

        HttpFrontEnd::Options options;
        options.host = listen.substr(0, colon);
        options.port = std::stoi(listen.substr(colon + 1));
        options.log = false;
        HttpFrontEnd frontEnd(handler, options);
        frontEnd.bind();
        boost::asio::signal_set stopSignals(frontEnd.ioContext(), SIGINT, SIGTERM);
        stopSignals.async_wait([&](boost::system::error_code error, int) {
            if (!error)
                frontEnd.stop();
        });
        std::cout << "listening on " << frontEnd.siteAddress() << std::endl;
        frontEnd.run();
    } catch (const std::exception &error) {
        std::cerr << "static-answer-server: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
