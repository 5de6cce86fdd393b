// The resident client's cost on the user-interface thread, against a real service on loopback:
// - one poll tick with no change, and with one stock-pool alert (page closed): the CPU time of
//   the user-interface thread from the timer's tick to the end of the apply step, the service
//   calls on the worker thread not counted (target: a no-change tick under 1 ms);
// - the signed-in, idle client with its marquee running: process CPU over a wall-clock period,
//   next to an idle event loop of the same length (target: below 1 % of one core).
//
//   bench_MainWindow [--idle_seconds=60] [--benchmark_...]
//   (offscreen platform unless QT_QPA_PLATFORM is set)

#include "LoginWindowSignIn.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"
#include "TPopUpNotifier.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"
#include "UnitMain.h"
#include "UnitSMNC.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

std::unique_ptr<ServiceFixture> service;
int idleSeconds = 60;

double cpuMs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Signed in afresh: a window that went before removed the online record as it closed.
std::unique_ptr<TFrmMain> residentWindow(bool withAlertList)
{
    if (!signInThroughLoginWindow(QStringLiteral("demo"), QStringLiteral("demo")))
        std::fprintf(stderr, "sign-in failed\n");
    auto window = std::make_unique<TFrmMain>();
    window->show();
    window->Timer1->stop();
    window->Timer2->stop();
    if (!withAlertList)
        window->OpenPage(TFrmMain::PageKind::Quotes); // no page registered here: the list closes
    return window;
}

// UI-thread CPU of one tick: the timer handler, then the apply step once the fetch is back.
// The wait in between is spent asleep in the event loop, and the worker's calls run on
// another thread, so the thread's CPU clock counts what the window itself spends.
double tickCpuMs(TFrmMain &window)
{
    QEventLoop loop;
    const auto connection = QObject::connect(&window, &TFrmMain::pollTickApplied, &loop, &QEventLoop::quit);
    const double start = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    window.Timer1Timer();
    loop.exec();
    const double spent = cpuMs(CLOCK_THREAD_CPUTIME_ID) - start;
    QObject::disconnect(connection);
    return spent;
}

void BM_TickNoChange(benchmark::State &state)
{
    auto window = residentWindow(false);
    for (auto _ : state) {
        const double ms = tickCpuMs(*window);
        state.SetIterationTime(ms / 1e3);
    }
}

void BM_TickOneStockAlert(benchmark::State &state)
{
    auto window = residentWindow(false);
    int code = 600000;
    for (auto _ : state) {
        state.PauseTiming();
        QString output;
        service->runCommand({"publish", "stock", "--code", QString::number(code++), "--name", "测试", "--op",
                             "买入", "--reason", "测试", "--level", "3"},
                            &output);
        state.ResumeTiming();
        const double ms = tickCpuMs(*window);
        state.SetIterationTime(ms / 1e3);
    }
    window->PopUpNotifier1->ClosePopUps();
}

// Process CPU of the resident client over the period, minus an idle event loop's.
void BM_IdleResident(benchmark::State &state)
{
    const auto runFor = [](int seconds) {
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        const double start = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        loop.exec();
        return cpuMs(CLOCK_PROCESS_CPUTIME_ID) - start;
    };
    for (auto _ : state) {
        const double bare = runFor(idleSeconds);
        auto window = residentWindow(true);
        window->Timer1->start(UnitGlouble.PollIntervalSeconds * 1000);
        window->Timer2->start();
        const double resident = runFor(idleSeconds);
        window.reset();
        state.SetIterationTime(idleSeconds);
        state.counters["bare_cpu_ms"] = bare;
        state.counters["resident_cpu_ms"] = resident;
        state.counters["core_percent"] = (resident - bare) / (idleSeconds * 10.0);
    }
}

BENCHMARK(BM_TickNoChange)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);
BENCHMARK(BM_TickOneStockAlert)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);
BENCHMARK(BM_IdleResident)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--idle_seconds=", 15) == 0)
            idleSeconds = std::atoi(argv[i] + 15);
    }
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    service = std::make_unique<ServiceFixture>();
    if (!service->isRunning()) {
        std::fprintf(stderr, "service did not start: %s\n", qPrintable(service->errorString()));
        return 1;
    }
    ServiceClient::setServiceHost(service->host());
    TFrmMain::setPageFactory(TFrmMain::PageKind::AlertList,
                             [](QWidget *hostPanel) -> Tmain * { return new TFormSMNC(hostPanel); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    service.reset();
    return 0;
}
