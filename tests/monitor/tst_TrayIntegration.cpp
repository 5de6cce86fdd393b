// The tray on its own: the menu and its entries, the mute entry bound to the settings, and the
// offline look after polls in a row that did not reach the service.
#include "ReminderSettings.h"
#include "TrayIntegration.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextDocumentFragment>
#include <QWidget>

Q_DECLARE_METATYPE(PageKind)

class tst_TrayIntegration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void menuEntriesInOrder();
    void pageEntryAsksForItsPage_data();
    void pageEntryAsksForItsPage();
    void pageTitlesNameTheEntries();
    void muteEntryIsTheSetting();
    void muteShowsOnTheIcon_data();
    void muteShowsOnTheIcon();
    void offlineAfterFailedTicks_data();
    void offlineAfterFailedTicks();
    void systemNameShowsLiterally_data();
    void systemNameShowsLiterally();

private:
    // What a Qt tooltip shows for the icon's tooltip text: rich text when it looks like it.
    QString shownToolTip() const
    {
        const QString tip = m_tray->TrayIcon1->toolTip();
        return Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
    }
    std::unique_ptr<QWidget> m_window;
    TrayIntegration *m_tray = nullptr;
};

void tst_TrayIntegration::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_TrayIntegration::init()
{
    QFile::remove(ReminderSettings::filePath());
    ReminderSettings::instance().setMuted(false);
    m_window = std::make_unique<QWidget>();
    m_tray = new TrayIntegration(m_window.get());
    m_tray->setSystemName(QStringLiteral("测试系统"));
}

void tst_TrayIntegration::cleanup()
{
    m_window.reset();
    ReminderSettings::instance().setMuted(false);
    QFile::remove(ReminderSettings::filePath());
}

void tst_TrayIntegration::menuEntriesInOrder()
{
    QStringList captions;
    for (const QAction *action : m_tray->PopupMenu1->actions())
        captions << action->text();
    QCOMPARE(captions, QStringList({u"预警管理"_qs, u"私募内参"_qs, u"新闻资讯"_qs, u"实时行情"_qs,
                                    u"价值评估"_qs, u"个股档案"_qs, u"大盘资金"_qs, u"研究报告"_qs,
                                    u"系统主页"_qs, u"静音"_qs, u"退出系统"_qs}));
    QCOMPARE(m_tray->PopupMenu1->actions().last(), m_tray->N1);
    QCOMPARE(m_tray->TrayIcon1->contextMenu(), m_tray->PopupMenu1);
}

void tst_TrayIntegration::pageEntryAsksForItsPage_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<PageKind>("kind");
    QTest::newRow("N2") << u"预警管理"_qs << PageKind::AlertList;
    QTest::newRow("N4") << u"私募内参"_qs << PageKind::Insider;
    QTest::newRow("N3") << u"新闻资讯"_qs << PageKind::News;
    QTest::newRow("N7") << u"实时行情"_qs << PageKind::Quotes;
    QTest::newRow("N6") << u"价值评估"_qs << PageKind::Valuation;
    QTest::newRow("N8") << u"个股档案"_qs << PageKind::StockProfile;
    QTest::newRow("N9") << u"大盘资金"_qs << PageKind::MarketFunds;
    QTest::newRow("N5") << u"研究报告"_qs << PageKind::Research;
}

void tst_TrayIntegration::pageEntryAsksForItsPage()
{
    QFETCH(QString, caption);
    QFETCH(PageKind, kind);
    QSignalSpy requested(m_tray, &TrayIntegration::pageRequested);
    QAction *entry = nullptr;
    for (QAction *action : m_tray->PopupMenu1->actions()) {
        if (action->text() == caption)
            entry = action;
    }
    QVERIFY(entry);
    entry->trigger();
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.first().first().value<PageKind>(), kind);
}

void tst_TrayIntegration::pageTitlesNameTheEntries()
{
    m_tray->setPageTitles({{PageKind::News, u"要闻"_qs}, {PageKind::Research, u"研报"_qs}});
    QCOMPARE(m_tray->N3->text(), u"要闻"_qs);
    QCOMPARE(m_tray->N5->text(), u"研报"_qs);
    QCOMPARE(m_tray->N2->text(), u"预警管理"_qs); // not named: unchanged
}

void tst_TrayIntegration::muteEntryIsTheSetting()
{
    QVERIFY(m_tray->MuteEntry->isCheckable());
    QVERIFY(!m_tray->MuteEntry->isChecked());
    m_tray->MuteEntry->trigger();
    QVERIFY(ReminderSettings::instance().muted());
    ReminderSettings::instance().setMuted(false); // as the settings window would
    QVERIFY(!m_tray->MuteEntry->isChecked());
}

void tst_TrayIntegration::offlineAfterFailedTicks_data()
{
    QTest::addColumn<QString>("ticks");        // R reached the service, F did not
    QTest::addColumn<QString>("offlineAfter"); // after each tick: 1 offline, 0 online

    QTest::newRow("two failures stay online") << u"FF"_qs << u"00"_qs;
    QTest::newRow("third failure") << u"FFF"_qs << u"001"_qs;
    QTest::newRow("back with the first answer") << u"FFFFR"_qs << u"00110"_qs;
    QTest::newRow("an answer restarts the count") << u"FFRFFF"_qs << u"000001"_qs;
}

void tst_TrayIntegration::offlineAfterFailedTicks()
{
    QFETCH(QString, ticks);
    QFETCH(QString, offlineAfter);
    const qint64 onlineIcon = m_tray->TrayIcon1->icon().cacheKey();
    QCOMPARE(shownToolTip(), u"测试系统"_qs);
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        m_tray->noteTickReached(ticks.at(i) == u'R');
        const bool offline = offlineAfter.at(i) == u'1';
        QCOMPARE(m_tray->showsOffline(), offline);
        QCOMPARE(shownToolTip(), offline ? u"测试系统（与服务器的连接已中断）"_qs : u"测试系统"_qs);
        QCOMPARE(m_tray->TrayIcon1->icon().cacheKey() != onlineIcon, offline);
    }
}

// The name as the desktop shows it when the pointer rests on the icon; it arrives from the
// service, so a name that holds markup must show as the characters it is.
void tst_TrayIntegration::systemNameShowsLiterally_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    const QString table = u"<table width=1100 height=600 bgcolor=red><tr><td>账户异常 请立即致电 400-000-0000"
                          u"</td></tr></table>"_qs;
    QTest::newRow("a table") << table << table;
    QTest::newRow("entities stay as typed") << u"A&amp;B &lt;b&gt;"_qs << u"A&amp;B &lt;b&gt;"_qs;
    QTest::newRow("looks like the rich-text mark") << u"<qt><b>粗</b>"_qs << u"<qt><b>粗</b>"_qs;
    QTest::newRow("bounded") << QString(5000, u'长') << QString(200, u'长') + QChar(0x2026);
}

void tst_TrayIntegration::systemNameShowsLiterally()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    m_tray->setSystemName(name);
    QCOMPARE(shownToolTip(), shown);
}

void tst_TrayIntegration::muteShowsOnTheIcon_data()
{
    QTest::addColumn<bool>("offline");
    QTest::newRow("online") << false;
    QTest::newRow("offline") << true;
}

// Muted from the menu or the settings, the icon carries a red mark and the hint says so; the
// mark goes with the mute.
void tst_TrayIntegration::muteShowsOnTheIcon()
{
    QFETCH(bool, offline);
    m_tray->setSystemName(QStringLiteral("智能股票预警系统"));
    for (int i = 0; offline && i < TrayIntegration::OfflineAfterFailedTicks; ++i)
        m_tray->noteTickReached(false);
    const QSize size(32, 32);
    const QImage plain = m_tray->TrayIcon1->icon().pixmap(size).toImage();
    QVERIFY(!m_tray->showsMuted());

    m_tray->MuteEntry->trigger();
    QVERIFY(m_tray->showsMuted());
    QCOMPARE(m_tray->showsOffline(), offline);
    QVERIFY2(shownToolTip().endsWith(QStringLiteral("（静音）")), qPrintable(shownToolTip()));
    const QColor mark = m_tray->TrayIcon1->icon().pixmap(size).toImage().pixelColor(24, 28);
    QVERIFY2(mark.red() > 150 && mark.green() < 80, qPrintable(mark.name()));
    QVERIFY(plain.pixelColor(24, 28) != mark);

    ReminderSettings::instance().setMuted(false); // as the settings window does it
    QVERIFY(!m_tray->showsMuted());
    QVERIFY(!shownToolTip().contains(QStringLiteral("静音")));
    QCOMPARE(m_tray->TrayIcon1->icon().pixmap(size).toImage(), plain);
}

QTEST_MAIN(tst_TrayIntegration)
#include "tst_TrayIntegration.moc"
