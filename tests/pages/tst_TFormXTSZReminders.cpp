#include "AlertSound.h"
#include "Autostart.h"
#include "FileChooserOverride.h"
#include "MessageBoxRecorder.h"
#include "NotificationServer.h"
#include "PrivateSessionBus.h"
#include "ReminderSettings.h"
#include "UnitXTSZ.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <memory>

// The settings window's "提醒设置" tab: what it shows, what a click keeps (and where), and the
// autostart entry it writes and removes. The configuration directory is a fresh temporary one
// per test ($XDG_CONFIG_HOME), as a desktop would give it.
class tst_TFormXTSZReminders : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fourthTabWithDefaults();
    void clickIsKept_data();
    void clickIsKept();
    void followsTheTrayWhileOpen();
    void autostartEntry();
    void autostartRefused();
    void desktopNotificationsOfferedWithAService_data();
    void desktopNotificationsOfferedWithAService();
    void streamSwitchesKept();
    void streamSoundChosenAndDropped();
    void quietHoursKept();

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
};

void tst_TFormXTSZReminders::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void tst_TFormXTSZReminders::cleanup()
{
    m_boxes.reset();
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    m_config.reset();
    m_data.reset();
}

void tst_TFormXTSZReminders::fourthTabWithDefaults()
{
    TFormXTSZ form;
    form.show();
    QCOMPARE(form.PageControl1->count(), 4);
    QCOMPARE(form.PageControl1->tabText(3), QStringLiteral("提醒设置"));
    QCOMPARE(form.PageControl1->widget(3), form.TabSheet5);
    QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet4);
    QCOMPARE(form.MuteCheckBox->text(), QStringLiteral("静音"));
    QVERIFY(!form.MuteCheckBox->isChecked());
    QVERIFY(form.ToastsRadio->isChecked());
    QVERIFY(!form.DesktopNotificationsRadio->isChecked());
    QVERIFY(!form.AutostartCheckBox->isChecked());
    QVERIFY(form.KeychainCheckBox->isChecked());
    // Every stream sounds its shared sound and shows its toast, at any hour: as always.
    for (const auto &row : form.StreamRows) {
        QVERIFY(row.sound->isChecked());
        QVERIFY(row.toast->isChecked());
        QCOMPARE(row.soundName->text(), QStringLiteral("默认提示音"));
        QVERIFY(!row.sharedSound->isEnabled());
    }
    QVERIFY(!form.QuietHoursCheckBox->isChecked());
    QVERIFY(!form.TradingSessionsCheckBox->isChecked());
    QVERIFY(!form.StaysUntilClickedCheckBox->isChecked());
    // Nothing is written until the user changes something.
    QVERIFY(!QFileInfo::exists(ReminderSettings::filePath()));
}

void tst_TFormXTSZReminders::clickIsKept_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("stored");
    QTest::newRow("mute") << "MuteCheckBox"
                          << "reminders/muted" << true;
    QTest::newRow("toasts stay") << "StaysUntilClickedCheckBox"
                                 << "reminders/toastsStayUntilClicked" << true;
    QTest::newRow("quiet hours") << "QuietHoursCheckBox"
                                 << "quietHours/on" << true;
    QTest::newRow("trading sessions only") << "TradingSessionsCheckBox"
                                           << "reminders/tradingSessionsOnly" << true;
    QTest::newRow("no keychain") << "KeychainCheckBox"
                                 << "reminders/passwordInKeychain" << false;
}

// A click is kept in the configuration directory at once, and the next window shows it.
void tst_TFormXTSZReminders::clickIsKept()
{
    QFETCH(QString, control);
    QFETCH(QString, key);
    QFETCH(bool, stored);
    {
        TFormXTSZ form;
        form.show();
        form.PageControl1->setCurrentWidget(form.TabSheet5);
        auto *button = form.findChild<QAbstractButton *>(control);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    QVERIFY(ReminderSettings::filePath().startsWith(m_config->path()));
    const QSettings file(ReminderSettings::filePath(), QSettings::IniFormat);
    QCOMPARE(file.value(key).toBool(), stored);

    TFormXTSZ again;
    auto *button = again.findChild<QAbstractButton *>(control);
    QVERIFY(button);
    QCOMPARE(button->isChecked(), control != QLatin1String("KeychainCheckBox"));
}

void tst_TFormXTSZReminders::followsTheTrayWhileOpen()
{
    TFormXTSZ form;
    form.show();
    ReminderSettings::instance().setMuted(true);
    QVERIFY(form.MuteCheckBox->isChecked());
    ReminderSettings::instance().setMuted(false);
    QVERIFY(!form.MuteCheckBox->isChecked());
}

void tst_TFormXTSZReminders::autostartEntry()
{
    const QString entry = m_config->path() + QStringLiteral("/autostart/") +
                          QCoreApplication::applicationName() + QStringLiteral(".desktop");
    TFormXTSZ form;
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet5);
    QTest::mouseClick(form.AutostartCheckBox, Qt::LeftButton, {},
                      QPoint(6, form.AutostartCheckBox->height() / 2));
    QVERIFY(form.AutostartCheckBox->isChecked());
    QVERIFY(QFileInfo(entry).isFile());
    QTest::mouseClick(form.AutostartCheckBox, Qt::LeftButton, {},
                      QPoint(6, form.AutostartCheckBox->height() / 2));
    QVERIFY(!form.AutostartCheckBox->isChecked());
    QVERIFY(!QFileInfo::exists(entry));
    QCOMPARE(m_boxes->count(), 0);
}

// The entry cannot be written: the user is told, and the box shows what is really there.
void tst_TFormXTSZReminders::autostartRefused()
{
    QFile blocker(m_config->path() + QStringLiteral("/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TFormXTSZ form;
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet5);
    QTest::mouseClick(form.AutostartCheckBox, Qt::LeftButton, {},
                      QPoint(6, form.AutostartCheckBox->height() / 2));
    QVERIFY(!form.AutostartCheckBox->isChecked());
    QCOMPARE(m_boxes->count(), 1);
    QVERIFY(m_boxes->last().text.startsWith(QStringLiteral("自动启动设置失败：")));
    QCOMPARE(m_boxes->last().icon, MessageBoxes::Icon::Error);
}

void tst_TFormXTSZReminders::desktopNotificationsOfferedWithAService_data()
{
    QTest::addColumn<bool>("service");
    QTest::newRow("no notification service") << false;
    QTest::newRow("a notification service") << true;
}

// The choice is offered only where it would work, and the page says why it is not.
void tst_TFormXTSZReminders::desktopNotificationsOfferedWithAService()
{
    QFETCH(bool, service);
    std::unique_ptr<NotificationServer> server;
    if (service) {
        server = std::make_unique<NotificationServer>();
        QVERIFY(server->isRegistered());
    }
    {
        TFormXTSZ form;
        form.show();
        form.PageControl1->setCurrentWidget(form.TabSheet5);
        QCOMPARE(form.DesktopNotificationsRadio->isEnabled(), service);
        QCOMPARE(form.DesktopNotificationsMissingLabel->isVisible(), !service);
        QTest::mouseClick(form.DesktopNotificationsRadio, Qt::LeftButton, {},
                          QPoint(6, form.DesktopNotificationsRadio->height() / 2));
        QCOMPARE(form.DesktopNotificationsRadio->isChecked(), service);
    }
    QCOMPARE(ReminderSettings::instance().presentation() ==
                 ReminderSettings::Presentation::DesktopNotifications,
             service);
}

void tst_TFormXTSZReminders::streamSwitchesKept()
{
    using Stream = ReminderSettings::Stream;
    {
        TFormXTSZ form;
        form.show();
        form.PageControl1->setCurrentWidget(form.TabSheet5);
        QTest::mouseClick(form.StreamRows[1].sound, Qt::LeftButton, {},
                          QPoint(6, form.StreamRows[1].sound->height() / 2));
        QTest::mouseClick(form.StreamRows[3].toast, Qt::LeftButton, {},
                          QPoint(6, form.StreamRows[3].toast->height() / 2));
    }
    const ReminderSettings &settings = ReminderSettings::instance();
    QVERIFY(!settings.soundOn(Stream::LiveNews));
    QVERIFY(!settings.toastOn(Stream::Secret));
    QVERIFY(settings.soundOn(Stream::StockPool) && settings.toastOn(Stream::StockPool));
    QVERIFY(settings.toastOn(Stream::LiveNews) && settings.soundOn(Stream::Secret));
    TFormXTSZ again;
    QVERIFY(!again.StreamRows[1].sound->isChecked());
    QVERIFY(!again.StreamRows[3].toast->isChecked());
    QVERIFY(again.StreamRows[0].sound->isChecked());
}

// A stream's own sound is a copy of the chosen file beside the sound in use; 默认 goes back to
// the shared one.
void tst_TFormXTSZReminders::streamSoundChosenAndDropped()
{
    using Stream = ReminderSettings::Stream;
    QTemporaryDir sounds;
    const QString bell = sounds.path() + QStringLiteral("/bell.wav");
    QFile file(bell);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RIFF bell");
    file.close();
    const FileChooserOverride chooser([&bell](QWidget *, const QString &, const QString &) { return bell; });

    TFormXTSZ form;
    form.show();
    form.PageControl1->setCurrentWidget(form.TabSheet5);
    QTest::mouseClick(form.StreamRows[2].chooseSound, Qt::LeftButton);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("提示音修改成功!"));
    QCOMPARE(ReminderSettings::instance().soundName(Stream::Insider), QStringLiteral("bell.wav"));
    QCOMPARE(form.StreamRows[2].soundName->text(), QStringLiteral("bell.wav"));
    QVERIFY(form.StreamRows[2].sharedSound->isEnabled());
    const QString copy = AlertSound::streamSoundPath(Stream::Insider);
    QVERIFY(copy.startsWith(m_data->path()));
    QFile copied(copy);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("RIFF bell"));
    QCOMPARE(AlertSound::pathFor(Stream::Insider), copy);
    QCOMPARE(AlertSound::pathFor(Stream::StockPool), AlertSound::inUsePath());

    QTest::mouseClick(form.StreamRows[2].sharedSound, Qt::LeftButton);
    QVERIFY(ReminderSettings::instance().soundName(Stream::Insider).isEmpty());
    QVERIFY(!QFileInfo::exists(copy));
    QCOMPARE(form.StreamRows[2].soundName->text(), QStringLiteral("默认提示音"));
    QCOMPARE(AlertSound::pathFor(Stream::Insider), AlertSound::inUsePath());
}

void tst_TFormXTSZReminders::quietHoursKept()
{
    {
        TFormXTSZ form;
        form.QuietFromEdit->setTime(QTime(23, 15));
        form.QuietToEdit->setTime(QTime(6, 45));
        form.QuietHoursCheckBox->setChecked(true);
    }
    const ReminderSettings &settings = ReminderSettings::instance();
    QVERIFY(settings.quietHoursOn());
    QCOMPARE(settings.quietFrom(), QTime(23, 15));
    QCOMPARE(settings.quietTo(), QTime(6, 45));
    TFormXTSZ again;
    QCOMPARE(again.QuietFromEdit->time(), QTime(23, 15));
    QCOMPARE(again.QuietToEdit->time(), QTime(6, 45));
}

// The session bus must be the test's own before anything in the process asks for one.
int main(int argc, char *argv[])
{
    PrivateSessionBus bus;
    if (!bus.start()) {
        qCritical("private session bus: %s", qPrintable(bus.errorString()));
        return 1;
    }
    QApplication application(argc, argv);
    tst_TFormXTSZReminders test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_TFormXTSZReminders.moc"
