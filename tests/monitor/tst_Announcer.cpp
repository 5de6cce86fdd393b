// The announcer on its own: a toast with the text unless muted, and the click on a toast.
#include "AlertSound.h"
#include "Announcer.h"
#include "DesktopWorkAreaOverride.h"
#include "ReminderSettings.h"
#include "TPopUpNotifier.h"
#include "TfrmPopUpToast.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <functional>

class tst_Announcer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void announce_data();
    void announce();
    void toastClickIsTheAnnouncersClick();
    void defaultsSoundAndToastEveryStream();
    void perStreamSwitches_data();
    void perStreamSwitches();
    void ownSoundOfAStream();
    void quietHoursAcrossMidnight_data();
    void quietHoursAcrossMidnight();
    void summaryWhenQuietHoursEnd();
    void tradingSessionsOnlyInAnyTimeZone_data();
    void tradingSessionsOnlyInAnyTimeZone();
    void toastStaysUntilClicked();

private:
    using Stream = ReminderSettings::Stream;
    static void onScreen(const std::function<void()> &body);
};

void tst_Announcer::onScreen(const std::function<void()> &body)
{
    const DesktopWorkAreaOverride screen([] {
        return DesktopWorkArea::Snapshot{true, QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040)};
    });
    body();
}

void tst_Announcer::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Announcer::cleanup()
{
    ReminderSettings::instance().setMuted(false);
    QFile::remove(ReminderSettings::filePath());
    QFile::remove(AlertSound::streamSoundPath(Stream::LiveNews));
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

// Nothing stored: every stream sounds and shows its toast, at any hour.
void tst_Announcer::defaultsSoundAndToastEveryStream()
{
    onScreen([] {
        Announcer announcer;
        announcer.setClock([] { return QDateTime(QDate(2026, 12, 12), QTime(3, 0)); }); // Saturday night
        QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
        QSignalSpy announced(&announcer, &Announcer::announced);
        for (const Stream stream : ReminderSettings::streams())
            announcer.alert(stream, ReminderSettings::streamName(stream));
        QCOMPARE(sounds.count(), 4);
        QCOMPARE(announced.count(), 4);
        QVERIFY(!announcer.holdsAlerts());
        for (const QList<QVariant> &sound : sounds)
            QCOMPARE(sound.first().toString(), AlertSound::inUsePath());
        announcer.closePopUps();
    });
}

void tst_Announcer::perStreamSwitches_data()
{
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("toast");
    QTest::newRow("sound only") << true << false;
    QTest::newRow("toast only") << false << true;
    QTest::newRow("neither") << false << false;
}

// The switches of one stream leave the others as they are.
void tst_Announcer::perStreamSwitches()
{
    QFETCH(bool, sound);
    QFETCH(bool, toast);
    onScreen([&] {
        ReminderSettings::instance().setSoundOn(Stream::LiveNews, sound);
        ReminderSettings::instance().setToastOn(Stream::LiveNews, toast);
        Announcer announcer;
        QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
        QSignalSpy announced(&announcer, &Announcer::announced);
        announcer.alert(Stream::LiveNews, u"资讯"_qs);
        QCOMPARE(sounds.count(), sound ? 1 : 0);
        QCOMPARE(announced.count(), toast ? 1 : 0);
        announcer.alert(Stream::StockPool, u"预警"_qs);
        QCOMPARE(sounds.count(), sound ? 2 : 1);
        QCOMPARE(announced.count(), toast ? 2 : 1);
        QCOMPARE(announced.last().first().toString(), u"预警"_qs);
        announcer.closePopUps();
    });
}

void tst_Announcer::ownSoundOfAStream()
{
    QDir().mkpath(QFileInfo(AlertSound::streamSoundPath(Stream::LiveNews)).absolutePath());
    QFile own(AlertSound::streamSoundPath(Stream::LiveNews));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write("RIFF bell");
    own.close();
    ReminderSettings::instance().setSoundName(Stream::LiveNews, u"bell.wav"_qs);
    onScreen([] {
        Announcer announcer;
        QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
        announcer.alert(Stream::LiveNews, u"资讯"_qs);
        announcer.alert(Stream::Secret, u"绝密"_qs);
        QCOMPARE(sounds.count(), 2);
        QCOMPARE(sounds.at(0).first().toString(), AlertSound::streamSoundPath(Stream::LiveNews));
        QCOMPARE(sounds.at(1).first().toString(), AlertSound::inUsePath());
        announcer.closePopUps();
    });
}

void tst_Announcer::quietHoursAcrossMidnight_data()
{
    QTest::addColumn<QTime>("now");
    QTest::addColumn<bool>("held");
    QTest::newRow("21:59") << QTime(21, 59) << false;
    QTest::newRow("22:00") << QTime(22, 0) << true;
    QTest::newRow("02:00") << QTime(2, 0) << true;
    QTest::newRow("07:29") << QTime(7, 29) << true;
    QTest::newRow("07:30") << QTime(7, 30) << false;
}

void tst_Announcer::quietHoursAcrossMidnight()
{
    QFETCH(QTime, now);
    QFETCH(bool, held);
    ReminderSettings::instance().setQuietHours(QTime(22, 0), QTime(7, 30));
    ReminderSettings::instance().setQuietHoursOn(true);
    onScreen([&] {
        Announcer announcer;
        announcer.setClock([now] { return QDateTime(QDate(2026, 12, 8), now); });
        QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
        QSignalSpy announced(&announcer, &Announcer::announced);
        announcer.alert(Stream::StockPool, u"预警"_qs);
        QCOMPARE(announcer.holdsAlerts(), held);
        QCOMPARE(sounds.count(), held ? 0 : 1);
        QCOMPARE(announced.count(), held ? 0 : 1);
        QCOMPARE(announcer.heldCount(Stream::StockPool), held ? 1 : 0);
        announcer.closePopUps();
    });
}

// What came during the night is told in one toast when the quiet hours end, once.
void tst_Announcer::summaryWhenQuietHoursEnd()
{
    ReminderSettings::instance().setQuietHours(QTime(22, 0), QTime(7, 30));
    ReminderSettings::instance().setQuietHoursOn(true);
    onScreen([] {
        Announcer announcer;
        QDateTime now(QDate(2026, 12, 8), QTime(23, 0));
        announcer.setClock([&now] { return now; });
        QSignalSpy sounds(&AlertSound::instance(), &AlertSound::played);
        QSignalSpy announced(&announcer, &Announcer::announced);
        announcer.alert(Stream::StockPool, u"预警一"_qs);
        announcer.alert(Stream::LiveNews, u"资讯"_qs);
        now = QDateTime(QDate(2026, 12, 9), QTime(3, 0));
        announcer.alert(Stream::StockPool, u"预警二"_qs);
        announcer.checkQuietTimeOver(); // still quiet
        QCOMPARE(announced.count(), 0);

        now = QDateTime(QDate(2026, 12, 9), QTime(7, 31));
        announcer.checkQuietTimeOver();
        QCOMPARE(sounds.count(), 0);
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.first().first().toString(),
                 u"【免打扰期间的提醒】\r股池预警：2 条\r实盘资讯：1 条"_qs);
        QCOMPARE(announcer.heldCount(Stream::StockPool), 0);
        announcer.checkQuietTimeOver();
        QCOMPARE(announced.count(), 1);
        announcer.closePopUps();
    });
}

void tst_Announcer::tradingSessionsOnlyInAnyTimeZone_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("held");
    const QTimeZone berlin("Europe/Berlin");
    const QTimeZone newYork("America/New_York");
    QTest::newRow("Berlin 03:00 Monday: Beijing morning session")
        << QDateTime(QDate(2026, 12, 7), QTime(3, 0), berlin) << false;
    QTest::newRow("Berlin 10:00 Monday: Beijing evening")
        << QDateTime(QDate(2026, 12, 7), QTime(10, 0), berlin) << true;
    QTest::newRow("New York 21:00 Sunday: Beijing Monday morning")
        << QDateTime(QDate(2026, 12, 6), QTime(21, 0), newYork) << false;
    QTest::newRow("New York 21:00 Friday: Beijing Saturday")
        << QDateTime(QDate(2026, 12, 11), QTime(21, 0), newYork) << true;
}

void tst_Announcer::tradingSessionsOnlyInAnyTimeZone()
{
    QFETCH(QDateTime, now);
    QFETCH(bool, held);
    ReminderSettings::instance().setTradingSessionsOnly(true);
    onScreen([&] {
        Announcer announcer;
        announcer.setClock([now] { return now; });
        QSignalSpy announced(&announcer, &Announcer::announced);
        announcer.alert(Stream::Insider, u"内参"_qs);
        QCOMPARE(announcer.holdsAlerts(), held);
        QCOMPARE(announced.count(), held ? 0 : 1);
        announcer.closePopUps();
    });
}

void tst_Announcer::toastStaysUntilClicked()
{
    ReminderSettings::instance().setToastsStayUntilClicked(true);
    onScreen([] {
        Announcer announcer;
        announcer.alert(Stream::StockPool, u"预警"_qs);
        QVERIFY(announcer.notifier()->staysUntilClicked());
        TfrmPopUpToast *toast = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *shown = qobject_cast<TfrmPopUpToast *>(window))
                toast = shown;
        }
        QVERIFY(toast);
        QTRY_VERIFY(!toast->tmrScroll->isActive()); // slid in
        QVERIFY(!toast->tmrExit->isActive());       // and no time-out runs
        QVERIFY(!toast->tmrScrollDown->isActive());
        announcer.closePopUps();
    });
}

QTEST_MAIN(tst_Announcer)
#include "tst_Announcer.moc"
