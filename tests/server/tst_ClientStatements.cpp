// The contract between the client and the service: every statement text the client builds is
// recognised by the service's statement catalogue, for the operation the client sends it with,
// and the values read back out of it are the values it was built from.
#include "ClientStatements.h"
#include "service/StatementCatalogue.h"

#include <QTest>

#include <functional>

using Operation = StatementCatalogue::Operation;
Q_DECLARE_METATYPE(std::function<QString()>)

namespace {

using namespace ClientStatements;

// Values a user can type or a service can hand back: plain, with apostrophes (which end a
// literal unless doubled), Chinese, blanks and an empty value.
struct TextValues
{
    const char *name;
    QString text;
};
const TextValues Texts[] = {
    {"plain", QStringLiteral("demo")},
    {"apostrophes", QStringLiteral("o'brien''s '")},
    {"Chinese", QStringLiteral("张三：银行股'分红'")},
    {"blanks", QStringLiteral(" a  b ")},
    {"empty", QString()},
    {"statement-like", QStringLiteral("x' or '1'='1")},
};

QString midnight(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

} // namespace

class tst_ClientStatements : public QObject
{
    Q_OBJECT

private slots:
    void recognisedWithItsValues_data();
    void recognisedWithItsValues();
};

void tst_ClientStatements::recognisedWithItsValues_data()
{
    QTest::addColumn<std::function<QString()>>("build");
    QTest::addColumn<int>("operation");
    QTest::addColumn<QStringList>("values");

    QTest::newRow("page addresses") << std::function<QString()>(pageAddresses) << int(Operation::Rows)
                                    << QStringList();
    for (const QString &id : {QStringLiteral("1"), QStringLiteral("2147483647"), QStringLiteral("-7")}) {
        QTest::addRow("online count, id %s", qPrintable(id))
            << std::function<QString()>([id] { return onlineRecordCount(id); }) << int(Operation::Count)
            << QStringList{id};
        QTest::addRow("online delete, id %s", qPrintable(id)) << std::function<QString()>([id] {
            return onlineRecordDelete(id, QStringLiteral("2011-06-10 09:31:05.1234567"));
        }) << int(Operation::Execute) << QStringList{id, QStringLiteral("2011-06-10 09:31:05.1234567")};
    }
    for (const TextValues &value : Texts) {
        const QString text = value.text;
        const OnlineRecord record{QStringLiteral("12"), text, text + QStringLiteral("p"),
                                  QStringLiteral("2099-12-31"), text + QStringLiteral("a")};
        const QStringList recordValues{text, text + QStringLiteral("p"), QStringLiteral("2099-12-31"),
                                       text + QStringLiteral("a")};
        QTest::addRow("online update, %s", value.name)
            << std::function<QString()>([record] { return onlineRecordUpdate(record); })
            << int(Operation::Execute) << recordValues + QStringList{QStringLiteral("12")};
        QTest::addRow("online insert, %s", value.name)
            << std::function<QString()>([record] { return onlineRecordInsert(record); })
            << int(Operation::Execute) << QStringList{QStringLiteral("12")} + recordValues;
        QTest::addRow("password change, %s", value.name)
            << std::function<QString()>([text] { return passwordChange(QStringLiteral("3"), text); })
            << int(Operation::Execute) << QStringList{text, QStringLiteral("3")};
        QTest::addRow("user name count, %s", value.name)
            << std::function<QString()>([text] { return userNameCount(text); }) << int(Operation::Count)
            << QStringList{text};
        QTest::addRow("application name count, %s", value.name)
            << std::function<QString()>([text] { return applicationNameCount(text); })
            << int(Operation::Count) << QStringList{text};
        QTest::addRow("sign-up application, %s", value.name)
            << std::function<QString()>([text] {
                   return signUpApplication(text, text + QStringLiteral("p"), QStringLiteral("13800000000"));
               })
            << int(Operation::Execute)
            << QStringList{text, text + QStringLiteral("p"), QStringLiteral("13800000000")};
    }

    const QDate from(2011, 6, 9);
    const QDate to(2011, 12, 31);
    for (const bool tiering : {false, true}) {
        const Audience audience{tiering, QStringLiteral("2")};
        const QStringList level = tiering ? QStringList{QStringLiteral("2")} : QStringList();
        const char *kind = tiering ? "tiered" : "untiered";
        QTest::addRow("today's alerts, %s", kind)
            << std::function<QString()>([audience] { return todayAlerts(audience); }) << int(Operation::Rows)
            << level;
        QTest::addRow("latest alerts, %s", kind)
            << std::function<QString()>([audience] { return latestAlerts(audience); }) << int(Operation::Rows)
            << level;
        QTest::addRow("today's news, %s", kind)
            << std::function<QString()>([audience] { return todayNews(audience); }) << int(Operation::Rows)
            << level;
        QTest::addRow("alert history, %s", kind)
            << std::function<QString()>([=] { return alertHistory(audience, from, to); })
            << int(Operation::Rows) << level + QStringList{midnight(from), midnight(to.addDays(1))};
    }
}

void tst_ClientStatements::recognisedWithItsValues()
{
    QFETCH(std::function<QString()>, build);
    QFETCH(int, operation);
    QFETCH(QStringList, values);

    const QString statement = build();
    const auto match = StatementCatalogue::match(statement.toStdString());
    QVERIFY2(match, qPrintable(QStringLiteral("not recognised: [%1]").arg(statement)));
    QVERIFY2(match->entry->operations & unsigned(operation), match->entry->pattern);
    QStringList readBack;
    for (const StatementCatalogue::Value &value : match->values)
        readBack << QString::fromStdString(value.text);
    QCOMPARE(readBack, values);
}

QTEST_GUILESS_MAIN(tst_ClientStatements)
#include "tst_ClientStatements.moc"
