#include "UserWait.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <atomic>

// A wait with threads and a way of giving up of the test's own: the wait itself knows nothing
// of what its work is.
class tst_UserWait : public QObject
{
    Q_OBJECT

private slots:
    void resultComesFromTheGivenThreads();
    void failureComesBackWithItsText();
    void cancelTellsTheWorkAndWaitsForItsEnd_data();
    void cancelTellsTheWorkAndWaitsForItsEnd();

private:
    // Runs the work as the caller's way of giving up says: notes the thread and the flag it got.
    UserWait::CancellableRun recordingRun()
    {
        return [this](const std::function<void()> &work, const std::atomic<bool> &cancelled) {
            m_runThread = QThread::currentThread();
            m_cancelled = &cancelled;
            work();
        };
    }

    QThreadPool m_threads;
    std::atomic<QThread *> m_runThread{nullptr};
    std::atomic<const std::atomic<bool> *> m_cancelled{nullptr};
};

void tst_UserWait::resultComesFromTheGivenThreads()
{
    QThread *workThread = nullptr;
    int busyThreads = -1;
    const QString result = UserWait::run(nullptr, m_threads, recordingRun(), [&] {
        workThread = QThread::currentThread();
        busyThreads = m_threads.activeThreadCount();
        return QStringLiteral("答案");
    });
    QCOMPARE(result, QStringLiteral("答案"));
    QCOMPARE(busyThreads, 1);
    QVERIFY(workThread != QThread::currentThread());
    QCOMPARE(m_runThread.load(), workThread);
    QVERIFY(!UserWait::isWaiting());
}

void tst_UserWait::failureComesBackWithItsText()
{
    try {
        UserWait::run(nullptr, m_threads, recordingRun(), [] { throw std::runtime_error("连接被拒绝"); });
        QFAIL("no failure came back");
    } catch (const UserWait::Cancelled &) {
        QFAIL("a failure came back as a cancel");
    } catch (const std::runtime_error &error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("连接被拒绝"));
    }
}

void tst_UserWait::cancelTellsTheWorkAndWaitsForItsEnd_data()
{
    QTest::addColumn<bool>("byButton"); // the indication's 取消, or cancelAll() as at the end
    QTest::newRow("取消") << true;
    QTest::newRow("program ending") << false;
}

// The work gives up only once told, and takes a moment to: the wait returns after it has ended,
// because the work refers to the caller's frame.
void tst_UserWait::cancelTellsTheWorkAndWaitsForItsEnd()
{
    QFETCH(bool, byButton);
    std::atomic<bool> sawCancel{false};
    std::atomic<bool> ended{false};
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        if (!byButton) {
            UserWait::cancelAll();
            return;
        }
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window->objectName() == QLatin1String("UserWaitIndication") && window->isVisible())
                if (auto *cancel = window->findChild<QPushButton *>())
                    QTest::mouseClick(cancel, Qt::LeftButton);
    });
    driver.start(50);

    bool cancelledWait = false;
    try {
        UserWait::run(nullptr, m_threads, recordingRun(), [&] {
            const QDeadlineTimer bound(10000);
            while (!(m_cancelled.load() && m_cancelled.load()->load()) && !bound.hasExpired())
                QThread::msleep(10);
            sawCancel = m_cancelled.load()->load();
            QThread::msleep(200); // a transfer notices the flag a little later
            ended = true;
        });
    } catch (const UserWait::Cancelled &) {
        cancelledWait = true;
        QVERIFY(ended);
    }
    QVERIFY(cancelledWait);
    QVERIFY(sawCancel);
    QVERIFY(!UserWait::isWaiting());
    QTRY_VERIFY_WITH_TIMEOUT(m_threads.activeThreadCount() == 0, 5000);
}

QTEST_MAIN(tst_UserWait)
#include "tst_UserWait.moc"
