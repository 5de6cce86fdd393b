#include "RememberedCredentials.h"
#include "RememberedCredentialsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTest>

#include <stdexcept>

class tst_RememberedCredentials : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void writesThreeGbkLines();
    void writeReplacesReadOnlyFile();
    void readsBackWhatWasWritten();
    void readsWhatItCan_data();
    void readsWhatItCan();
    void directoryInPlaceIsNoFile();
    void removeDeletesReadOnlyFile();
};

void tst_RememberedCredentials::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(RememberedCredentials::filePath().endsWith(QStringLiteral("/gpxxjl.lwl")));
}

void tst_RememberedCredentials::init()
{
    RememberedCredentialsFile::clear();
}

void tst_RememberedCredentials::cleanupTestCase()
{
    RememberedCredentialsFile::clear();
}

void tst_RememberedCredentials::writesThreeGbkLines()
{
    // The directory does not exist yet: write creates it.
    QDir(QFileInfo(RememberedCredentials::filePath()).absolutePath()).removeRecursively();
    RememberedCredentials::write(QStringLiteral("  张三 "), QStringLiteral("\tpa ss'\n"));

    QFile file(RememberedCredentials::filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xD5\xC5\xC8\xFD\r\n\\\r\npa ss'\r\n"));
    QCOMPARE(file.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ReadGroup |
                                   QFileDevice::WriteGroup),
             QFileDevice::Permissions());
    QVERIFY(file.permissions().testFlag(QFileDevice::ReadOwner));
    QVERIFY(file.permissions().testFlag(QFileDevice::WriteOwner));
}

void tst_RememberedCredentials::writeReplacesReadOnlyFile()
{
    QVERIFY(RememberedCredentialsFile::put("old\r\n\\\r\nold\r\n"));
    QVERIFY(QFile::setPermissions(RememberedCredentials::filePath(), QFileDevice::ReadOwner));
    RememberedCredentials::write(QStringLiteral("new"), QStringLiteral("pw"));
    QFile file(RememberedCredentials::filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("new\r\n\\\r\npw\r\n"));
}

void tst_RememberedCredentials::readsBackWhatWasWritten()
{
    RememberedCredentials::write(QStringLiteral("李四"), QStringLiteral("密码1"));
    const auto contents = RememberedCredentials::read();
    QVERIFY(contents.exists);
    QCOMPARE(contents.userName, QStringLiteral("李四"));
    QCOMPARE(contents.password, QStringLiteral("密码1"));
}

void tst_RememberedCredentials::readsWhatItCan_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");

    QTest::newRow("empty file") << QByteArray() << QString() << QString();
    QTest::newRow("one line") << QByteArray("demo\r\n") << QStringLiteral("demo") << QString();
    QTest::newRow("two lines") << QByteArray("demo\r\n\\\r\n") << QStringLiteral("demo") << QString();
    QTest::newRow("no final line end")
        << QByteArray("demo\r\n\\\r\npw") << QStringLiteral("demo") << QStringLiteral("pw");
    QTest::newRow("LF only") << QByteArray("demo\n\\\npw\n") << QStringLiteral("demo")
                             << QStringLiteral("pw");
    QTest::newRow("CR only") << QByteArray("demo\r\\\rpw\r") << QStringLiteral("demo")
                             << QStringLiteral("pw");
    QTest::newRow("blanks around") << QByteArray("  demo \r\n\\\r\n pw\t\r\n") << QStringLiteral("demo")
                                   << QStringLiteral("pw");
    QTest::newRow("more lines") << QByteArray("a\r\nb\r\nc\r\nd\r\n") << QStringLiteral("a")
                                << QStringLiteral("c");
    // Bytes that are no GBK: the name reads with replacement characters, the rest as written.
    QTest::newRow("odd bytes") << QByteArray("\xFF\xFE\x80\r\n\\\r\npw\r\n")
                               << QStringDecoder("GBK").decode(QByteArray("\xFF\xFE\x80")).operator QString()
                               << QStringLiteral("pw");
}

void tst_RememberedCredentials::readsWhatItCan()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, userName);
    QFETCH(QString, password);
    QVERIFY(RememberedCredentialsFile::put(bytes));
    const auto contents = RememberedCredentials::read();
    QVERIFY(contents.exists);
    QCOMPARE(contents.userName, userName);
    QCOMPARE(contents.password, password);
}

void tst_RememberedCredentials::directoryInPlaceIsNoFile()
{
    QVERIFY(QDir().mkpath(RememberedCredentials::filePath()));
    const auto contents = RememberedCredentials::read();
    QVERIFY(!contents.exists);
    QVERIFY(contents.userName.isEmpty());
    // Removing leaves a directory alone; writing over it fails with an error.
    RememberedCredentials::remove();
    QVERIFY(QFileInfo(RememberedCredentials::filePath()).isDir());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             RememberedCredentials::write(QStringLiteral("a"), QStringLiteral("b")));
}

void tst_RememberedCredentials::removeDeletesReadOnlyFile()
{
    QVERIFY(RememberedCredentialsFile::put("demo\r\n\\\r\ndemo\r\n"));
    QVERIFY(QFile::setPermissions(RememberedCredentials::filePath(), QFileDevice::ReadOwner));
    RememberedCredentials::remove();
    QVERIFY(!QFileInfo::exists(RememberedCredentials::filePath()));
    RememberedCredentials::remove(); // nothing there: nothing to do
}

QTEST_GUILESS_MAIN(tst_RememberedCredentials)
#include "tst_RememberedCredentials.moc"
