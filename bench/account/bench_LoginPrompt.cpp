// Time from creating the login window to its first paint, with the server's prompt text of
// the demo data next to prompt texts of megabytes: one paragraph of Chinese, one run without
// a blank, and many short lines. The
// window must come up within a second whatever the service puts there.
//
//   bench_LoginPrompt [--benchmark_...]   (offscreen platform unless QT_QPA_PLATFORM is set)

#include "ServiceClient.h"
#include "ServiceFixture.h"
#include "UnitGlouble.h"
#include "UnitLogin.h"

#include <QApplication>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<ServiceFixture> service;

QString promptOfOneParagraph(int characters)
{
    return QString(characters, QChar(u'示'));
}

// No break opportunity at all: the case word wrapping handles worst.
QString promptWithoutBlank(int characters)
{
    return QString(characters, QLatin1Char('x'));
}

QString promptOfLines(int characters)
{
    QString text;
    const QString line = QString(39, QChar(u'行')) + QLatin1Char('\n');
    while (text.size() < characters)
        text += line;
    return text;
}

void setPrompt(const QString &prompt)
{
    QString escaped = prompt;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    if (!service->execSql(QStringLiteral("update Sys_pz set sytsxx='%1'").arg(escaped)))
        std::fprintf(stderr, "could not set the prompt\n");
}

void showLogin(benchmark::State &state)
{
    for (auto _ : state) {
        TFrmLogin login;
        login.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(login.isVisible());
    }
}

void BM_LoginDemoPrompt(benchmark::State &state)
{
    setPrompt(QStringLiteral("演示账号：demo/demo。\n如需开通正式账号请联系客服。"));
    showLogin(state);
}

void BM_LoginPromptOneParagraph(benchmark::State &state)
{
    setPrompt(promptOfOneParagraph(static_cast<int>(state.range(0))));
    showLogin(state);
}

void BM_LoginPromptWithoutBlank(benchmark::State &state)
{
    setPrompt(promptWithoutBlank(static_cast<int>(state.range(0))));
    showLogin(state);
}

void BM_LoginPromptLines(benchmark::State &state)
{
    setPrompt(promptOfLines(static_cast<int>(state.range(0))));
    showLogin(state);
}

BENCHMARK(BM_LoginDemoPrompt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoginPromptOneParagraph)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoginPromptWithoutBlank)
    ->Arg(1 << 20)
    ->Arg(8 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_LoginPromptLines)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    service = std::make_unique<ServiceFixture>();
    if (!service->isRunning()) {
        std::fprintf(stderr, "service did not start: %s\n", qPrintable(service->errorString()));
        return 1;
    }
    ServiceClient::setServiceHost(service->host());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    service.reset();
    return 0;
}
