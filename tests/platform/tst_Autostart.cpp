#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// The XDG autostart entry: where it goes, how Exec quotes the program, and that removing it
// leaves nothing behind.
class tst_Autostart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void entryAppearsAndDisappears();
    void execQuoting_data();
    void execQuoting();
    void refusedDirectoryIsReported();

private:
    std::unique_ptr<QTemporaryDir> m_config;
};

void tst_Autostart::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
}

void tst_Autostart::cleanup()
{
    qunsetenv("XDG_CONFIG_HOME");
    m_config.reset();
}

void tst_Autostart::entryAppearsAndDisappears()
{
    const QString expected =
        m_config->path() + QStringLiteral("/autostart/") + QCoreApplication::applicationName() + ".desktop";
    QCOMPARE(Autostart::entryPath(), expected);
    QVERIFY(!Autostart::isEnabled());

    QString error;
    QVERIFY2(Autostart::setEnabled(true, &error), qPrintable(error));
    QVERIFY(QFileInfo(expected).isFile());
    QVERIFY(Autostart::isEnabled());
    // A desktop reads it as an ordinary key file.
    QSettings entry(expected, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
    QVERIFY(entry.value(QStringLiteral("Exec")).toString().contains(QCoreApplication::applicationFilePath()));

    QVERIFY2(Autostart::setEnabled(false, &error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(expected));
    QVERIFY(!Autostart::isEnabled());
    // Removing what is not there is no error.
    QVERIFY(Autostart::setEnabled(false, &error));
}

void tst_Autostart::execQuoting_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/opt/stock-alert/stock-alert"
                           << R"("/opt/stock-alert/stock-alert")";
    QTest::newRow("blank") << "/home/li ming/stock-alert"
                           << R"("/home/li ming/stock-alert")";
    QTest::newRow("Chinese") << "/home/李明/股票/stock-alert"
                             << R"("/home/李明/股票/stock-alert")";
    // Inside the quotes ", `, $ and \ take a backslash; the string then doubles backslashes.
    QTest::newRow("dollar") << "/tmp/$HOME/a"
                            << R"("/tmp/\\$HOME/a")";
    QTest::newRow("double quote") << R"(/tmp/a"b)"
                                  << R"("/tmp/a\\"b")";
    QTest::newRow("backtick") << "/tmp/a`b"
                              << R"("/tmp/a\\`b")";
    QTest::newRow("backslash") << R"(/tmp/a\b)"
                               << R"("/tmp/a\\\\b")";
}

void tst_Autostart::execQuoting()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QCOMPARE(Autostart::quotedExec(program), exec);
    const QString text = QString::fromUtf8(Autostart::entryText(program, QStringLiteral("stock-alert")));
    QVERIFY2(text.split(QLatin1Char('\n')).contains(QStringLiteral("Exec=") + exec), qPrintable(text));
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
}

// A file where the autostart folder should be: the entry cannot be written, and says why.
void tst_Autostart::refusedDirectoryIsReported()
{
    QFile blocker(m_config->path() + QStringLiteral("/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    QVERIFY(!Autostart::setEnabled(true, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!Autostart::isEnabled());
}

QTEST_GUILESS_MAIN(tst_Autostart)
#include "tst_Autostart.moc"
