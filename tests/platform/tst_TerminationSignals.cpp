#include "TerminationSignals.h"

#include <QTest>

#include <csignal>

// The handler runs from the event loop, once per signal, for both signals.
class tst_TerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalReachesTheEventLoop();
};

void tst_TerminationSignals::signalReachesTheEventLoop()
{
    int handled = 0;
    TerminationSignals::install([&handled] { ++handled; });
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(handled, 1, 5000);
    ::raise(SIGINT);
    QTRY_COMPARE_WITH_TIMEOUT(handled, 2, 5000);
}

QTEST_GUILESS_MAIN(tst_TerminationSignals)
#include "tst_TerminationSignals.moc"
