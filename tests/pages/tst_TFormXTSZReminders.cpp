#include "Autostart.h"
#include "MessageBoxRecorder.h"
#include "ReminderSettings.h"
#include "UnitXTSZ.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

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

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
};

void tst_TFormXTSZReminders::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void tst_TFormXTSZReminders::cleanup()
{
    m_boxes.reset();
    qunsetenv("XDG_CONFIG_HOME");
    m_config.reset();
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
    QTest::newRow("desktop notifications") << "DesktopNotificationsRadio"
                                           << "reminders/desktopNotifications" << true;
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

QTEST_MAIN(tst_TFormXTSZReminders)
#include "tst_TFormXTSZReminders.moc"
