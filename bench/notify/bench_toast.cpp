// CPU cost of one toast's whole life (show, slide in, wait, slide out, free) next to an idle
// event loop of the same wall-clock length, both in this process. The difference, divided by the
// wall time, is the share of one core the animation takes while it runs.
//
//   bench_notify [--benchmark_...]   (runs on the offscreen platform unless QT_QPA_PLATFORM is set)

#include "PopUpPresets.h"
#include "TPopUpNotifier.h"
#include "TfrmPopUpToast.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

TfrmPopUpToast *newestToast(const QList<QWidget *> &before)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *toast = qobject_cast<TfrmPopUpToast *>(window); toast && !before.contains(window))
            return toast;
    }
    return nullptr;
}

void BM_ToastLife(benchmark::State &state)
{
    QWidget host;
    auto *notifier = new TPopUpNotifier(&host);
    applyMainWindowPreset(*notifier);
    notifier->setTimeOut(1);
    notifier->setText(QStringLiteral("弹出时间：2026-12-10 09:31:05\r股票代码：600036\r操作方式：买入"));

    double toastCpu = 0, idleCpu = 0, wall = 0;
    for (auto _ : state) {
        QEventLoop loop;
        const QList<QWidget *> before = QApplication::topLevelWidgets();
        QElapsedTimer clock;
        const double cpuStart = processCpuMs();
        clock.start();
        if (!notifier->ShowPopUp()) {
            state.SkipWithError("no room for the toast");
            return;
        }
        QPointer<TfrmPopUpToast> toast = newestToast(before);
        QObject::connect(toast, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
        const double lifeCpu = processCpuMs() - cpuStart;
        const qint64 lifeMs = clock.elapsed();

        // The same wall time with nothing to do.
        const double idleStart = processCpuMs();
        QTimer::singleShot(lifeMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        const double idle = processCpuMs() - idleStart;

        state.SetIterationTime(lifeMs / 1e3);
        toastCpu += lifeCpu;
        idleCpu += idle;
        wall += lifeMs;
    }
    const double n = double(state.iterations());
    state.counters["wall_ms"] = wall / n;
    state.counters["toast_cpu_ms"] = toastCpu / n;
    state.counters["idle_cpu_ms"] = idleCpu / n;
    state.counters["animation_core_pct"] = 100.0 * (toastCpu - idleCpu) / wall;
}
BENCHMARK(BM_ToastLife)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
