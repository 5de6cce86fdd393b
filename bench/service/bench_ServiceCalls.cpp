// Service calls against a real service on loopback, as the poll tick makes them: one tick is
// the ifchangetable call plus one hqsametable query.
// - ticks on a pool thread that lives on, as the client's ticks run (its connection is kept);
// - ticks each on a thread of its own, which must open a new TCP connection every time: the
//   baseline a tick must stay clear of.
//
//   bench_ServiceCalls [--benchmark_...]

#include "ServiceClient.h"
#include "ServiceFixture.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <thread>

namespace {

std::unique_ptr<ServiceFixture> service;

void oneTick()
{
    const auto proxy = ServiceClient::GetWebServiceSoap(service->endpoint());
    proxy->ifchangetable(2);
    proxy->hqsametable(QStringLiteral("select top 30 * from Tuijiangupiao order by id desc "));
}

void BM_TickOnLastingPoolThread(benchmark::State &state)
{
    QThreadPool pool;
    pool.setMaxThreadCount(1);
    pool.setExpiryTimeout(-1);
    QtConcurrent::run(&pool, oneTick).waitForFinished(); // the connection is opened here
    for (auto _ : state)
        QtConcurrent::run(&pool, oneTick).waitForFinished();
}
BENCHMARK(BM_TickOnLastingPoolThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_TickOnFreshThread(benchmark::State &state)
{
    for (auto _ : state) {
        std::thread tick(oneTick);
        tick.join();
    }
}
BENCHMARK(BM_TickOnFreshThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    service = std::make_unique<ServiceFixture>();
    if (!service->isRunning()) {
        std::fprintf(stderr, "service did not start: %s\n", qPrintable(service->errorString()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    service.reset();
    return 0;
}
