#include "PasswordKeychain.h"

#include <QTest>

#include <optional>

namespace {

constexpr int Bound = 15000;

struct Outcome
{
    bool done = false;
    bool ok = false;
};

Outcome write(const QString &user, const QString &password)
{
    Outcome outcome;
    PasswordKeychain::write(user, password, [&outcome](bool ok, const QString &) { outcome = {true, ok}; });
    QTest::qWaitFor([&] { return outcome.done; }, Bound);
    return outcome;
}

Outcome remove(const QString &user)
{
    Outcome outcome;
    PasswordKeychain::remove(user, [&outcome](bool ok, const QString &) { outcome = {true, ok}; });
    QTest::qWaitFor([&] { return outcome.done; }, Bound);
    return outcome;
}

// Outer: whether the keychain answered at all; inner: the password, if it holds one.
std::optional<std::optional<QString>> read(const QString &user)
{
    std::optional<std::optional<QString>> answer;
    PasswordKeychain::read(user, [&answer](std::optional<QString> password) { answer = password; });
    QTest::qWaitFor([&] { return answer.has_value(); }, Bound);
    return answer;
}

} // namespace

// Against a real secret service (gnome-keyring-daemon on a private bus, see with-keyring.sh):
// a password is stored, read back, kept apart per user name, and deleted.
class tst_PasswordKeychain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void storeReadDelete_data();
    void storeReadDelete();
    void otherUserHasNoPassword();
};

void tst_PasswordKeychain::initTestCase()
{
    QVERIFY2(PasswordKeychain::isAvailable(), "a secret service on the session bus (with-keyring.sh)");
}

void tst_PasswordKeychain::storeReadDelete_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("ascii") << "demo"
                           << "demo";
    QTest::newRow("Chinese and blanks") << "李明"
                                        << "密码 with blanks ";
    QTest::newRow("markup-like") << "vip"
                                 << "<b>&amp;</b>\\\"";
}

void tst_PasswordKeychain::storeReadDelete()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QVERIFY(write(user, password).ok);
    const auto stored = read(user);
    QVERIFY(stored.has_value());
    QCOMPARE(stored->value_or(QStringLiteral("<none>")), password);

    QVERIFY(write(user, password + QStringLiteral("2")).ok);
    QCOMPARE(read(user)->value_or(QString()), password + QStringLiteral("2"));

    QVERIFY(remove(user).ok);
    const auto gone = read(user);
    QVERIFY(gone.has_value());
    QVERIFY(!gone->has_value());
}

void tst_PasswordKeychain::otherUserHasNoPassword()
{
    QVERIFY(write(QStringLiteral("member"), QStringLiteral("secret")).ok);
    const auto other = read(QStringLiteral("someone-else"));
    QVERIFY(other.has_value());
    QVERIFY(!other->has_value());
    QVERIFY(remove(QStringLiteral("member")).ok);
}

QTEST_GUILESS_MAIN(tst_PasswordKeychain)
#include "tst_PasswordKeychain.moc"
