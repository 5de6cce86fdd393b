#pragma once

#include <atomic>
#include <functional>

class QThreadPool;

// The threads every service call of the client runs on. Qt's global pool is not for them: Qt
// itself uses that pool (the raster engine paints large areas on it), so calls that wait for a
// hung service there would stall the window's painting as well.
//
// Four threads, which never expire: the poll tick's fetch, the login-elsewhere check, the call
// the user waits for, and one more for a call the user has just cancelled while it gives up.
// Each thread keeps its libcurl connection between calls (see HttpTransport), so threads that
// live on keep their connections warm; a call beyond four waits for a thread rather than
// opening yet another connection.
namespace ServicePool {

constexpr int ThreadCount = 4;

QThreadPool &threads();

// Runs `work` on the calling thread so that its transfers end as soon as `cancelled` turns true:
// a call the user stopped waiting for gives its thread back at once.
void runCancellable(const std::function<void()> &work, const std::atomic<bool> &cancelled);

} // namespace ServicePool
