#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <stdexcept>
#include <type_traits>

class QThreadPool;
class QWidget;

// A service call the user started and waits for, run on the threads the caller names (the
// client's service threads) while the windows keep painting and answering. The wait cursor
// shows at once; after about a second (after 0.3 s while the owner is not on screen, as at
// start-up) a small "正在连接服务器…" window with "取消" shows as well. 取消 ends the wait as a
// failure, so the caller reports it as it reports the call failing.
//
// The wait knows windows and threads, not what the work is: the caller names the threads the
// work runs on and how it is made to give up early (for a service call, its transfers end).
//
// The wait runs a local event loop. What must not start a second time meanwhile (a second
// sign-in, another page while one opens) is for the caller to refuse: UserWait::isWaiting()
// tells whether a wait is under way.
class UserWait
{
public:
    // Thrown when the user cancelled the wait (or cancelAll() ended it).
    class Cancelled : public std::runtime_error
    {
    public:
        Cancelled();
    };

    // How long the wait goes on with the cursor alone.
    static constexpr int IndicationDelayMs = 1000;
    // The same while the owner is not on screen: short, so that a window appears at once, but
    // long enough that a service answering promptly shows none.
    static constexpr int StartUpIndicationDelayMs = 300;

    // Runs `work` on the calling thread so that it gives up soon after `cancelled` turns true.
    using CancellableRun =
        std::function<void(const std::function<void()> &work, const std::atomic<bool> &cancelled)>;

    // Runs `call` on one of `threads` through `runCancellable` and returns its result; rethrows
    // what it threw (as std::runtime_error with its text) or throws Cancelled.
    template <typename Call>
    static auto run(QWidget *owner, QThreadPool &threads, const CancellableRun &runCancellable, Call call)
        -> std::invoke_result_t<Call>
    {
        using Result = std::invoke_result_t<Call>;
        if constexpr (std::is_void_v<Result>) {
            runWork(owner, threads, runCancellable, std::function<void()>(std::move(call)));
        } else {
            std::optional<Result> result;
            runWork(owner, threads, runCancellable, [&result, &call] { result.emplace(call()); });
            return std::move(*result);
        }
    }

    static bool isWaiting();
    // Ends every wait under way as cancelled: the program is ending.
    static void cancelAll();

private:
    static void runWork(QWidget *owner, QThreadPool &threads, const CancellableRun &runCancellable,
                        const std::function<void()> &work);
};
