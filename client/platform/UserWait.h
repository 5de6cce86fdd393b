#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <stdexcept>
#include <type_traits>

class QWidget;

// A service call the user started and waits for, run on the client's service threads while the
// windows keep painting and answering. The wait cursor shows at once; after about a second (after
// 0.3 s while the owner is not on screen, as at start-up) a small "正在连接服务器…" window with
// "取消" shows as well. 取消 ends the wait as a failure, so the caller reports it as it reports
// the call failing.
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

    // Runs `call` on a service thread and returns its result; rethrows what it threw (as
    // std::runtime_error with its text) or throws Cancelled.
    template <typename Call> static auto run(QWidget *owner, Call call) -> std::invoke_result_t<Call>
    {
        using Result = std::invoke_result_t<Call>;
        if constexpr (std::is_void_v<Result>) {
            runWork(owner, std::function<void()>(std::move(call)));
        } else {
            std::optional<Result> result;
            runWork(owner, [&result, &call] { result.emplace(call()); });
            return std::move(*result);
        }
    }

    static bool isWaiting();
    // Ends every wait under way as cancelled: the program is ending.
    static void cancelAll();

private:
    static void runWork(QWidget *owner, const std::function<void()> &work);
};
