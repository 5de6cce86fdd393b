// Memory of the web pages: the client process's resident memory with no web page, with one
// open in the main window's content panel, and after it was closed again; then 21 rounds of
// opening and closing the seven web pages in turn (three cycles), one figure per round, to
// show that a closed page leaves nothing behind that adds up.
//
// The web engine draws in processes of its own (renderer, zygote); their memory is shown
// apart, as the proportional set size of the client's process tree (the reference service
// the benchmark starts left out), since they share pages.
//
//   tests/support/run-on-xvfb 1920x1080x24 build/bench/pages/bench_WebPageMemory [--settle MS] [--rounds N]
//
// Target: after a first cycle through the seven classes (the engine's one-time start-up and
// warm-up), the client's resident memory after closing grows by less than 256 KiB per round
// (least-squares slope over the later rounds), and the median of the last seven rounds lies
// less than 2 MiB above the median of the seven rounds after the warm-up. A page left behind
// would cost megabytes per round and keep its renderer process.

#include "GraphicsChoice.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"
#include "UnitBKZJ.h"
#include "UnitGGPC.h"
#include "UnitGlouble.h"
#include "UnitJGMH.h"
#include "UnitPCGG.h"
#include "UnitWYSMNC.h"
#include "UnitXWZX.h"
#include "UnitYJBG.h"
#include "URLCodeChange.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

// A field of /proc/PID/status or /proc/PID/smaps_rollup, in KiB; -1 when unreadable.
qint64 procField(qint64 pid, const char *file, const QByteArray &field)
{
    QFile in(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!in.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : in.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

qint64 parentOf(qint64 pid)
{
    QFile in(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!in.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = in.readAll();
    // "pid (name) state ppid ...": the name may hold blanks, so read after the last ")".
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : -1;
}

std::vector<qint64> processTree(qint64 root)
{
    std::vector<qint64> all;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number)
            all.push_back(pid);
    }
    std::vector<qint64> tree{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (qint64 pid : all) {
            if (std::find(tree.begin(), tree.end(), pid) != tree.end())
                continue;
            if (std::find(tree.begin(), tree.end(), parentOf(pid)) != tree.end()) {
                tree.push_back(pid);
                grew = true;
            }
        }
    }
    return tree;
}

struct Memory
{
    qint64 clientRss = 0; // KiB
    qint64 treePss = 0;   // KiB, the client and every process it started
    int processes = 0;
};

qint64 servicePid = -1;

Memory measure()
{
    Memory memory;
    memory.clientRss = procField(getpid(), "status", "VmRSS");
    for (qint64 pid : processTree(getpid())) {
        if (pid == servicePid)
            continue;
        const qint64 pss = procField(pid, "smaps_rollup", "Pss");
        if (pss >= 0) {
            memory.treePss += pss;
            ++memory.processes;
        }
    }
    return memory;
}

void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

double mib(qint64 kib)
{
    return kib / 1024.0;
}

struct PageKind
{
    const char *name;
    std::function<WebPage *(QWidget *)> create;
};

} // namespace

int main(int argc, char **argv)
{
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    GraphicsChoice::applyToProcess(); // drawn as the client draws them
    QApplication app(argc, argv);
    int settleMs = 1500;
    int rounds = 21;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--settle"))
            settleMs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
    }

    ServiceFixture service;
    if (!service.isRunning()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.errorString()));
        return 2;
    }
    ServiceClient::setServiceHost(service.host());
    // The service is a child of this process but none of the client's memory.
    for (qint64 pid : processTree(getpid())) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("stock-alert-ser"))
            servicePid = pid;
    }
    const QString pages = service.host() + QStringLiteral("/pages/");
    UnitGlouble.NewsUrl = pages + QStringLiteral("news.html");
    UnitGlouble.QuotesUrl = pages + QStringLiteral("quotes.html");
    UnitGlouble.ValuationUrl = pages + QStringLiteral("valuation.html");
    UnitGlouble.StockProfileUrl = pages + QStringLiteral("profiles.html");
    UnitGlouble.MarketFundsUrl = pages + QStringLiteral("funds.html");
    UnitGlouble.ResearchUrl = pages + QStringLiteral("research.html");
    UnitGlouble.UserName = QStringLiteral("demo");
    UnitGlouble.UserNameUrl = UrlEncode("demo", true);
    UnitGlouble.UserPasswordUrl = UrlEncode("demo", true);
    UnitGlouble.UserLevel = QStringLiteral("2");

    const std::vector<PageKind> kinds = {
        {"TFormXWZX", [](QWidget *host) -> WebPage * { return new TFormXWZX(host); }},
        {"TFormPCGG", [](QWidget *host) -> WebPage * { return new TFormPCGG(host); }},
        {"TFormGGPC", [](QWidget *host) -> WebPage * { return new TFormGGPC(host); }},
        {"TFormJGMH", [](QWidget *host) -> WebPage * { return new TFormJGMH(host); }},
        {"TFormBKZJ", [](QWidget *host) -> WebPage * { return new TFormBKZJ(host); }},
        {"TFormYJBG", [](QWidget *host) -> WebPage * { return new TFormYJBG(host); }},
        {"TFormWYSMNC", [](QWidget *host) -> WebPage * { return new TFormWYSMNC(host); }},
    };

    // The main window's content panel.
    QWidget host;
    host.resize(801, 547);
    host.show();
    settle(settleMs);

    // Opens a page as the main window does, waits for its document, lets it settle.
    auto open = [&](const PageKind &kind) -> WebPage * {
        WebPage *page = kind.create(&host);
        QSignalSpy loaded(page->WebBrowser1, &QWebEngineView::loadFinished);
        page->show();
        if (!loaded.wait(30000))
            std::fprintf(stderr, "%s: no document within 30 s\n", kind.name);
        settle(settleMs);
        return page;
    };
    auto close = [&](WebPage *page) {
        delete page;
        settle(settleMs);
    };

    const Memory none = measure();
    WebPage *first = open(kinds[0]);
    const Memory withPage = measure();
    close(first);
    const Memory closed = measure();

    std::printf("settle %d ms after each step; KiB figures from /proc\n\n", settleMs);
    std::printf("%-28s %14s %18s %10s\n", "state", "client RSS MiB", "process tree PSS MiB", "processes");
    std::printf("%-28s %14.1f %18.1f %10d\n", "no web page", mib(none.clientRss), mib(none.treePss),
                none.processes);
    std::printf("%-28s %14.1f %18.1f %10d\n", "news page open", mib(withPage.clientRss),
                mib(withPage.treePss), withPage.processes);
    std::printf("%-28s %14.1f %18.1f %10d\n\n", "news page closed", mib(closed.clientRss),
                mib(closed.treePss), closed.processes);

    std::printf("%5s %-12s %16s %18s %18s %10s\n", "round", "page", "open: RSS MiB", "closed: RSS MiB",
                "closed: tree PSS MiB", "processes");
    std::vector<qint64> closedRss;
    for (int round = 1; round <= rounds; ++round) {
        const PageKind &kind = kinds[static_cast<size_t>(round - 1) % kinds.size()];
        WebPage *page = open(kind);
        const Memory opened = measure();
        close(page);
        const Memory after = measure();
        closedRss.push_back(after.clientRss);
        std::printf("%5d %-12s %16.1f %18.1f %18.1f %10d\n", round, kind.name, mib(opened.clientRss),
                    mib(after.clientRss), mib(after.treePss), after.processes);
        std::fflush(stdout);
    }

    // The first cycle through the seven classes is the engine's warm-up; the two cycles after
    // it are compared, each as its median (one figure per class), and their slope taken.
    const size_t cycle = kinds.size();
    if (closedRss.size() < 3 * cycle) {
        std::printf("\nfewer than %zu rounds: no verdict\n", 3 * cycle);
        return 0;
    }
    auto median = [](std::vector<qint64> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const std::vector<qint64> second(closedRss.begin() + cycle, closedRss.begin() + 2 * cycle);
    const std::vector<qint64> last(closedRss.end() - cycle, closedRss.end());
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = cycle; i < closedRss.size(); ++i) {
        const double x = static_cast<double>(i + 1), y = static_cast<double>(closedRss[i]);
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const qint64 drift = median(last) - median(second);
    const bool ok = slope < 256 && drift < 2048;
    std::printf("\nclosed client RSS, rounds %zu-%zu: slope %.1f KiB/round; median of the last %zu rounds"
                " %+lld KiB against rounds %zu-%zu (target < 256 KiB/round and < 2048 KiB): %s\n",
                cycle + 1, closedRss.size(), slope, cycle, static_cast<long long>(drift), cycle + 1,
                2 * cycle, ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
