// The announcer on its own: a toast with the text unless muted, and the click on a toast.
#include "Announcer.h"
#include "DesktopWorkAreaOverride.h"
#include "ReminderSettings.h"
#include "TPopUpNotifier.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

class tst_Announcer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void announce_data();
    void announce();
    void toastClickIsTheAnnouncersClick();
};

void tst_Announcer::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Announcer::cleanup()
{
    ReminderSettings::instance().setMuted(false);
    QFile::remove(ReminderSettings::filePath());
}

void tst_Announcer::announce_data()
{
    QTest::addColumn<bool>("muted");
    QTest::newRow("sounding") << false;
    QTest::newRow("muted") << true;
}

void tst_Announcer::announce()
{
    QFETCH(bool, muted);
    const DesktopWorkAreaOverride screen([] {
        return DesktopWorkArea::Snapshot{true, QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040)};
    });
    ReminderSettings::instance().setMuted(muted);
    Announcer announcer;
    QSignalSpy announced(&announcer, &Announcer::announced);
    announcer.playSound(); // silent while muted; never fails without an audio device
    announcer.announce(u"弹出时间：t\r股票代码：600519"_qs);
    QCOMPARE(announced.count(), muted ? 0 : 1);
    QCOMPARE(announcer.notifier()->PopupCount(), muted ? 0 : 1);
    if (!muted) {
        QCOMPARE(announced.first().first().toString(), u"弹出时间：t\r股票代码：600519"_qs);
        QCOMPARE(announcer.notifier()->Text(), u"弹出时间：t\r股票代码：600519"_qs);
    }
    announcer.closePopUps();
    QTRY_COMPARE_WITH_TIMEOUT(announcer.notifier()->PopupCount(), 0, 5000);
}

void tst_Announcer::toastClickIsTheAnnouncersClick()
{
    Announcer announcer;
    QSignalSpy clicked(&announcer, &Announcer::clicked);
    emit announcer.notifier()->OnClick(announcer.notifier());
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(tst_Announcer)
#include "tst_Announcer.moc"
