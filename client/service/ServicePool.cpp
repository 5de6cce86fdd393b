#include "ServicePool.h"

#include "HttpTransport.h"

#include <QThreadPool>

namespace {

class ServiceThreads : public QThreadPool
{
public:
    ServiceThreads()
    {
        setMaxThreadCount(ServicePool::ThreadCount);
        setExpiryTimeout(-1);
    }
    // At the program's end no call may hold it up: the ones still running give up at once.
    ~ServiceThreads() override
    {
        HttpTransport::abortRunning();
        waitForDone();
    }
};

} // namespace

QThreadPool &ServicePool::threads()
{
    static ServiceThreads pool;
    return pool;
}

void ServicePool::runCancellable(const std::function<void()> &work, const std::atomic<bool> &cancelled)
{
    const HttpTransport::CancelScope cancellable(cancelled);
    work();
}
