#include "AlertSound.h"
#include "UnitGlouble.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_AlertSound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void seededFromTheShippedSound();
    void missingOrUnplayableFileBeeps_data();
    void missingOrUnplayableFileBeeps();

private:
    QTemporaryDir m_programDir;
};

void tst_AlertSound::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_programDir.isValid());
}

void tst_AlertSound::init()
{
    UnitGlouble = GlobalState{};
    UnitGlouble.AppDir = m_programDir.path() + QLatin1Char('/');
    QFile::remove(AlertSound::inUsePath());
    QFile::remove(AlertSound::shippedPath());
}

void tst_AlertSound::seededFromTheShippedSound()
{
    QFile shipped(AlertSound::shippedPath());
    QVERIFY(shipped.open(QIODevice::WriteOnly));
    shipped.write("RIFF-shipped");
    shipped.close();
    const QString inUse = AlertSound::inUsePath();
    QVERIFY(inUse.startsWith(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    QFile copy(inUse);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), QByteArray("RIFF-shipped"));
    // A sound the user chose since is not overwritten by the shipped one.
    copy.close();
    QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
    copy.write("RIFF-chosen");
    copy.close();
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(AlertSound::inUsePath(), inUse);
    QCOMPARE(copy.readAll(), QByteArray("RIFF-chosen"));
}

void tst_AlertSound::missingOrUnplayableFileBeeps_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("present");
    QTest::newRow("no sound at all") << QByteArray() << false;
    QTest::newRow("not a wave file") << QByteArray("this is no sound") << true;
}

void tst_AlertSound::missingOrUnplayableFileBeeps()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, present);
    if (present) {
        QFile file(AlertSound::inUsePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QSignalSpy fellBack(&AlertSound::instance(), &AlertSound::fellBack);
    AlertSound::instance().play();
    QVERIFY(fellBack.count() == 1 || fellBack.wait(10000));
}

QTEST_MAIN(tst_AlertSound)
#include "tst_AlertSound.moc"
