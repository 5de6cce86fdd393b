// The crowd of subscribers of the streams benchmark (run-streams): opens STREAMS event streams
// (GET /events?userdj=LEVEL) on the service at 127.0.0.1:PORT, at most PER_ADDRESS from each
// loopback source address counted up from FIRST_ADDRESS (the service's per-address cap holds for
// them as for anyone), and reports on standard output:
//   "open N MS"                  once every stream has its first event (the current one), MS
//                                after the first connection was started;
//   "reached N of M LAST MEDIAN" for each line "go" read on standard input (the script is about
//                                to publish): once every stream has one more event, or after
//                                10 s, how many had it and when (ms after "go") the last and the
//                                median one did;
//   "closed K"                   when the service has closed any stream, at the end.
// Ends when standard input ends. One thread; every socket is non-blocking.
//   usage: stream-subscribers PORT STREAMS FIRST_ADDRESS PER_ADDRESS LEVEL
#include <boost/asio/connect.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// Connections being opened at once: more would only overflow the service's accept queue and
// cost the retries of the lost SYNs.
constexpr std::size_t openingAtOnce = 256;
constexpr auto roundBound = std::chrono::seconds(10);
constexpr auto openBound = std::chrono::seconds(120);

double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

void raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

class Crowd
{
public:
    Crowd(net::io_context &io, unsigned short port, std::size_t streams, net::ip::address_v4 first,
          std::size_t perAddress, int level)
        : io_(io), service_(net::ip::make_address_v4("127.0.0.1"), port), first_(first),
          perAddress_(perAddress), roundTimer_(io), subscribers_(streams)
    {
        request_ = "GET /events?userdj=" + std::to_string(level) +
                   " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n";
        for (auto &subscriber : subscribers_)
            subscriber = std::make_unique<Subscriber>(io);
    }

    void start()
    {
        started_ = Clock::now();
        for (std::size_t i = 0; i < openingAtOnce && i < subscribers_.size(); ++i)
            openNext();
        roundTimer_.expires_after(openBound);
        roundTimer_.async_wait([this](boost::system::error_code error) {
            if (!error && waitingForOpen_)
                report("open", false);
        });
    }

    // The script is about to publish: every stream should get one more event.
    void go()
    {
        goAt_ = Clock::now();
        reachedAt_.clear();
        for (auto &subscriber : subscribers_)
            subscriber->goal = subscriber->events + 1;
        roundOpen_ = true;
        roundTimer_.expires_after(roundBound);
        roundTimer_.async_wait([this](boost::system::error_code error) {
            if (!error && roundOpen_)
                endRound();
        });
    }

    void finish()
    {
        if (closed_ > 0)
            std::printf("closed %zu\n", closed_);
        std::fflush(stdout);
        io_.stop();
    }

private:
    struct Subscriber
    {
        explicit Subscriber(net::io_context &io) : socket(io) {}
        tcp::socket socket;
        std::array<char, 4096> buffer{};
        std::string tail; // the last bytes read, for a "data: " split between two reads
        std::size_t events = 0;
        std::size_t goal = 1;
        bool ended = false;
    };

    void openNext()
    {
        if (nextToOpen_ >= subscribers_.size())
            return;
        std::size_t index = nextToOpen_++;
        Subscriber &subscriber = *subscribers_[index];
        auto source = net::ip::address_v4(first_.to_uint() + std::uint32_t(index / perAddress_));
        boost::system::error_code error;
        subscriber.socket.open(tcp::v4(), error);
        if (!error)
            subscriber.socket.bind(tcp::endpoint(source, 0), error);
        if (error) {
            std::fprintf(stderr, "stream %zu from %s: %s\n", index, source.to_string().c_str(),
                         error.message().c_str());
            return lost(subscriber);
        }
        subscriber.socket.async_connect(service_, [this, &subscriber](boost::system::error_code error) {
            if (error)
                return lost(subscriber);
            net::async_write(subscriber.socket, net::buffer(request_),
                             [this, &subscriber](boost::system::error_code error, std::size_t) {
                                 if (error)
                                     return lost(subscriber);
                                 read(subscriber);
                             });
        });
    }

    void read(Subscriber &subscriber)
    {
        subscriber.socket.async_read_some(
            net::buffer(subscriber.buffer),
            [this, &subscriber](boost::system::error_code error, std::size_t size) {
                if (error)
                    return lost(subscriber);
                // Each event has one data line; keep-alive comments have none.
                std::string text = subscriber.tail + std::string(subscriber.buffer.data(), size);
                for (std::size_t at = text.find("data: "); at != std::string::npos;
                     at = text.find("data: ", at + 1))
                    counted(subscriber);
                subscriber.tail = text.substr(text.size() > 5 ? text.size() - 5 : 0);
                read(subscriber);
            });
    }

    void counted(Subscriber &subscriber)
    {
        ++subscriber.events;
        if (subscriber.events == 1) {
            ++opened_;
            checkOpen();
            openNext();
        }
        if (roundOpen_ && subscriber.events == subscriber.goal) {
            reachedAt_.push_back(msSince(goAt_, Clock::now()));
            if (reachedAt_.size() == subscribers_.size())
                endRound();
        }
    }

    void lost(Subscriber &subscriber)
    {
        if (subscriber.ended)
            return;
        subscriber.ended = true;
        ++closed_;
        if (subscriber.events == 0) {
            ++neverOpened_;
            checkOpen();
            openNext();
        }
    }

    void checkOpen()
    {
        if (waitingForOpen_ && opened_ + neverOpened_ == subscribers_.size())
            report("open", neverOpened_ == 0);
    }

    void report(const char *what, bool complete)
    {
        waitingForOpen_ = false;
        roundTimer_.cancel();
        double ms = msSince(started_, Clock::now());
        if (complete)
            std::printf("%s %zu %.0f\n", what, opened_, ms);
        else
            std::printf("%s %zu of %zu (not all within %.0f ms)\n", what, opened_, subscribers_.size(), ms);
        std::fflush(stdout);
    }

    void endRound()
    {
        roundOpen_ = false;
        roundTimer_.cancel();
        std::vector<double> times = reachedAt_;
        std::sort(times.begin(), times.end());
        double last = times.empty() ? 0 : times.back();
        double median = times.empty() ? 0 : times[times.size() / 2];
        std::printf("reached %zu of %zu %.0f %.0f\n", times.size(), subscribers_.size(), last, median);
        std::fflush(stdout);
    }

    net::io_context &io_;
    tcp::endpoint service_;
    net::ip::address_v4 first_;
    std::size_t perAddress_;
    std::string request_;
    net::steady_timer roundTimer_;
    std::vector<std::unique_ptr<Subscriber>> subscribers_;
    std::size_t nextToOpen_ = 0;
    std::size_t opened_ = 0;
    std::size_t closed_ = 0;
    std::size_t neverOpened_ = 0;
    bool waitingForOpen_ = true;
    bool roundOpen_ = false;
    Clock::time_point started_;
    Clock::time_point goAt_;
    std::vector<double> reachedAt_;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: stream-subscribers PORT STREAMS FIRST_ADDRESS PER_ADDRESS LEVEL\n");
        return 2;
    }
    raiseOpenFileLimit();
    net::io_context io;
    Crowd crowd(io, static_cast<unsigned short>(std::stoi(argv[1])), std::stoul(argv[2]),
                net::ip::make_address_v4(argv[3]), std::max<std::size_t>(1, std::stoul(argv[4])),
                std::stoi(argv[5]));
    crowd.start();
    // Standard input drives the rounds; its end ends the program.
    std::thread input([&] {
        std::string line;
        while (std::getline(std::cin, line))
            if (line == "go")
                net::post(io, [&crowd] { crowd.go(); });
        net::post(io, [&crowd] { crowd.finish(); });
    });
    auto work = net::make_work_guard(io);
    io.run();
    input.join();
    return 0;
}
