#pragma once

#include "store/WorkerPool.h"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/associated_executor.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <type_traits>

// The service could not do a request's work in time, or had no room to queue it: answered
// at once with a short fault instead of waiting.
class ServiceBusy : public std::runtime_error
{
public:
    ServiceBusy() : std::runtime_error("The service is busy; please try again shortly.") {}
};

// Runs fn on one of pool's threads and resumes the calling coroutine on its own executor
// with fn's result, or with fn's exception. When the deadline passes first, or the pool's
// queue is full, it throws ServiceBusy at once; fn, if it runs at all, should give up at
// the same deadline (a store Deadline does that for database calls). fn's result must be
// default-constructible.
template <typename Fn>
boost::asio::awaitable<std::invoke_result_t<Fn &>> blockingCall(WorkerPool &pool,
                                                                WorkerPool::Clock::time_point deadline, Fn fn)
{
    namespace net = boost::asio;
    using Result = std::invoke_result_t<Fn &>;
    auto executor = co_await net::this_coro::executor;
    auto initiate = [&pool, deadline, executor, fn = std::move(fn)](auto handler) mutable {
        using Handler = decltype(handler);
        struct State
        {
            explicit State(net::any_io_executor e) : executor(e), timer(e) {}
            net::any_io_executor executor;
            net::steady_timer timer;
            std::mutex mutex;
            std::optional<Handler> handler;
        };
        auto state = std::make_shared<State>(executor);
        state->handler.emplace(std::move(handler));
        // Whichever ends first, the work or the deadline, resumes the caller; the other
        // finds nobody waiting.
        auto finish = [state](std::exception_ptr error, Result result) {
            std::optional<Handler> waiting;
            {
                std::lock_guard lock(state->mutex);
                if (state->handler) {
                    waiting.emplace(std::move(*state->handler));
                    state->handler.reset();
                }
            }
            if (!waiting)
                return;
            auto resume = net::get_associated_executor(*waiting, state->executor);
            net::post(resume, [waiting = std::move(*waiting), error, result = std::move(result)]() mutable {
                std::move(waiting)(error, std::move(result));
            });
            net::post(state->executor, [state] { state->timer.cancel(); });
        };
        state->timer.expires_at(deadline);
        state->timer.async_wait([finish](boost::system::error_code error) {
            if (!error)
                finish(std::make_exception_ptr(ServiceBusy()), Result{});
        });
        bool queued = pool.submit(deadline, [finish, fn = std::move(fn)](bool expired) mutable {
            if (expired)
                return finish(std::make_exception_ptr(ServiceBusy()), Result{});
            try {
                finish(nullptr, fn());
            } catch (...) {
                finish(std::current_exception(), Result{});
            }
        });
        if (!queued)
            finish(std::make_exception_ptr(ServiceBusy()), Result{});
    };
    co_return co_await net::async_initiate<const net::use_awaitable_t<> &, void(std::exception_ptr, Result)>(
        std::move(initiate), net::use_awaitable);
}
