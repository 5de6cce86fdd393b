// The statement matcher on its own: which texts it recognises and the values it reads.
#include "service/StatementCatalogue.h"

#include <QTest>

using Kind = StatementCatalogue::ValueKind;
Q_DECLARE_METATYPE(StatementCatalogue::ValueKind)

namespace {

QString describe(const std::vector<StatementCatalogue::Value> &values)
{
    QStringList parts;
    for (const auto &v : values) {
        const char *kind = v.kind == Kind::Integer    ? "N"
                           : v.kind == Kind::Text     ? "S"
                           : v.kind == Kind::Password ? "P"
                           : v.kind == Kind::DateText ? "T"
                                                      : "D";
        parts << QString::fromLatin1(kind) + ":" + QString::fromStdString(v.text);
    }
    return parts.join('|');
}

} // namespace

class tst_StatementCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void passwordWritesAuthorisedBeforeHashing();
    void rowsBounded();
    void recognised_data();
    void recognised();
    void refused_data();
    void refused();
    void everyEntryHasOperations();
};

void tst_StatementCatalogue::recognised_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sqlStart"); // the start of the SQL that will run
    QTest::addColumn<QString>("values");

    QTest::newRow("pages") << "select * from Sys_url"
                           << "SELECT * FROM Sys_url"
                           << "";
    QTest::newRow("online count") << " select * from userdl where userid=17"
                                  << "SELECT userid FROM userdl"
                                  << "N:17";
    QTest::newRow("online update") << "update userdl set userzh='a''b',userpas='p w', "
                                      "userdqsj='2099-12-31',userdlsj=now(), userdlip='0.0.0.0' "
                                      "where userid=3"
                                   << "UPDATE userdl"
                                   << "S:a'b|P:p w|T:2099-12-31|S:0.0.0.0|N:3";
    QTest::newRow("online insert") << "Insert into userdl(userid,userzh,userpas,userdqsj,userdlsj,userdlip) "
                                      "values(3,'名字','''','',now(),'' )"
                                   << "INSERT INTO userdl"
                                   << "N:3|S:名字|P:'|T:|S:";
    QTest::newRow("online delete") << "delete from userdl where userid=-1"
                                   << "DELETE FROM userdl"
                                   << "N:-1";
    QTest::newRow("online delete of one sign-in")
        << "delete from userdl where userid=3 and userdlsj='2011-06-10 09:31:05.1234567'"
        << "DELETE FROM userdl"
        << "N:3|T:2011-06-10 09:31:05.1234567";
    QTest::newRow("password change") << "update UserTable set userpas= 'x,y)' where id=2"
                                     << "UPDATE UserTable"
                                     << "P:x,y)|N:2";
    QTest::newRow("account count") << "select * from UserTable where (StrComp(username,' a ',0)=0) "
                                   << "SELECT id FROM UserTable"
                                   << "S: a ";
    QTest::newRow("application count") << "select * from NewUser where (StrComp(usetrname,'',0)=0) "
                                       << "SELECT id FROM NewUser"
                                       << "S:";
    QTest::newRow("application insert")
        << "insert into NewUser(usetrname,zcmm,zhucetime,shouji) values('n','p',date(),'q')"
        << "INSERT INTO NewUser"
        << "S:n|P:p|S:q";
    QTest::newRow("application insert, blanks and case")
        << "  Insert Into newuser ( USETRNAME ,zcmm,\tzhucetime , shouji)VALUES('n' ,'p', Date( ) ,'q' ) "
        << "INSERT INTO NewUser"
        << "S:n|P:p|S:q";
    QTest::newRow("application insert, blanks inside values kept")
        << "insert into NewUser(usetrname,zcmm,zhucetime,shouji) values(' n ','',date(),'  ')"
        << "INSERT INTO NewUser"
        << "S: n |P:|S:  ";
    QTest::newRow("today's alerts, tiered") << "select * from Tuijiangupiao where (XinXiDJ=2 or XinXiDJ=3) "
                                               "and datediff(\"d\",nowtime,Date())=0 order by "
                                               "id desc "
                                            << "SELECT * FROM Tuijiangupiao WHERE (XinXiDJ=?1"
                                            << "N:2";
    QTest::newRow("today's alerts")
        << "select * from Tuijiangupiao where  datediff(\"d\",nowtime,Date())=0 order by id desc "
        << "SELECT * FROM Tuijiangupiao WHERE (?88<0 OR XinXiDJ=?88) AND nowtime>=?92"
        << "";
    QTest::newRow("latest alerts, tiered")
        << "select top 30 * from Tuijiangupiao where (XinXiDJ=1 or XinXiDJ=3)  order by id desc "
        << "SELECT * FROM Tuijiangupiao WHERE (XinXiDJ=?1 OR XinXiDJ=3) ORDER BY id DESC LIMIT 30"
        << "N:1";
    QTest::newRow("latest alerts")
        << "select top 30 * from Tuijiangupiao order by id desc "
        << "SELECT * FROM Tuijiangupiao WHERE (?88<0 OR XinXiDJ=?88) ORDER BY id DESC LIMIT 30"
        << "";
    QTest::newRow("today's news, tiered") << "select * from spzx where (XinXiDJ=3 or XinXiDJ=3) and "
                                             "datediff(\"d\",nowtime,Date())=0 order by id desc "
                                          << "SELECT * FROM spzx WHERE (XinXiDJ=?1"
                                          << "N:3";
    QTest::newRow("today's news")
        << "select * from spzx where  datediff(\"d\",nowtime,Date())=0 order by id desc "
        << "SELECT * FROM spzx WHERE (?88<0 OR XinXiDJ=?88) AND nowtime>=?92"
        << "";
    QTest::newRow("history, tiered")
        << "select * from Tuijiangupiao where (XinXiDJ=2 or XinXiDJ=3) and  nowtime>=#2011-06-09# and "
           "nowtime<=#2011-06-11#    order by id desc "
        << "SELECT * FROM Tuijiangupiao WHERE (XinXiDJ=?1 OR XinXiDJ=3) AND nowtime>=?2"
        << "N:2|D:2011-06-09 00:00:00|D:2011-06-11 00:00:00";
    QTest::newRow("history, short date form")
        << "select * from Tuijiangupiao where  nowtime>=#2011/6/9# and "
           "nowtime<=#2012/2/29#    order by id desc "
        << "SELECT * FROM Tuijiangupiao WHERE (?88<0 OR XinXiDJ=?88) AND nowtime>=?1"
        << "D:2011-06-09 00:00:00|D:2012-02-29 00:00:00";
}

void tst_StatementCatalogue::recognised()
{
    QFETCH(QString, text);
    QFETCH(QString, sqlStart);
    QFETCH(QString, values);
    auto match = StatementCatalogue::match(text.toStdString());
    QVERIFY(match);
    QVERIFY2(QString::fromLatin1(match->entry->sql).startsWith(sqlStart), match->entry->sql);
    QCOMPARE(describe(match->values), values);
}

void tst_StatementCatalogue::refused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("pages with a trailing blank") << "select * from Sys_url ";
    QTest::newRow("pages of another table") << "select * from Sys_pz";
    QTest::newRow("online count without leading blank") << "select * from userdl where userid=1";
    QTest::newRow("online count, id not an integer") << " select * from userdl where userid=1 or 1=1";
    QTest::newRow("online count, id too long") << " select * from userdl where userid=1234567890123456789";
    QTest::newRow("online delete of everything") << "delete from userdl where userid=userid";
    QTest::newRow("online delete, login time not quoted")
        << "delete from userdl where userid=1 and userdlsj=userdlsj";
    QTest::newRow("online delete, login time or anything")
        << "delete from userdl where userid=1 and userdlsj='x' or 1=1";
    QTest::newRow("online update, quote left open")
        << "update userdl set userzh='a',userpas='b', userdqsj='c',userdlsj=now(), userdlip='d where "
           "userid=1";
    QTest::newRow("password change, extra condition")
        << "update UserTable set userpas= 'x' where id=1 or id=2";
    QTest::newRow("password change, other column") << "update UserTable set UserDJ= '1' where id=1";
    QTest::newRow("account count without final blank")
        << "select * from UserTable where (StrComp(username,'a',0)=0)";
    QTest::newRow("account count, comparison mode 1")
        << "select * from UserTable where (StrComp(username,'a',1)=0) ";
    QTest::newRow("application insert, columns swapped")
        << "insert into NewUser(zcmm,usetrname,zhucetime,shouji) values('n','p',date(),'q')";
    QTest::newRow("application insert, value not quoted")
        << "insert into NewUser(usetrname,zcmm,zhucetime,shouji) values('n',p,date(),'q')";
    QTest::newRow("application insert, second statement")
        << "insert into NewUser(usetrname,zcmm,zhucetime,shouji) values('n','p',date(),'q'); delete from "
           "UserTable";
    QTest::newRow("application insert, longer table name")
        << "insert into NewUsers(usetrname,zcmm,zhucetime,shouji) values('n','p',date(),'q')";
    QTest::newRow("application insert, keywords glued")
        << "insert intoNewUser(usetrname,zcmm,zhucetime,shouji) values('n','p',date(),'q')";
    QTest::newRow("today's alerts, one blank")
        << "select * from Tuijiangupiao where datediff(\"d\",nowtime,Date())=0 order by id desc ";
    QTest::newRow("today's alerts, single quotes")
        << "select * from Tuijiangupiao where  datediff('d',nowtime,Date())=0 order by id desc ";
    QTest::newRow("latest alerts, top 31") << "select top 31 * from Tuijiangupiao order by id desc ";
    QTest::newRow("latest alerts, level text")
        << "select top 30 * from Tuijiangupiao where (XinXiDJ='2' or XinXiDJ=3)  order by id desc ";
    QTest::newRow("history, three blanks") << "select * from Tuijiangupiao where  nowtime>=#2011-06-09# and "
                                              "nowtime<=#2011-06-11#   order by id desc ";
    QTest::newRow("history, impossible date") << "select * from Tuijiangupiao where  nowtime>=#2011-02-29# "
                                                 "and nowtime<=#2011-03-01#    order by id desc ";
    QTest::newRow("history, text in the date") << "select * from Tuijiangupiao where  nowtime>=#2011-06-09 "
                                                  "or 1=1# and nowtime<=#2011-06-11#    order by "
                                                  "id desc ";
}

void tst_StatementCatalogue::refused()
{
    QFETCH(QString, text);
    auto match = StatementCatalogue::match(text.toStdString());
    QVERIFY2(!match, match ? match->entry->pattern : "");
}

void tst_StatementCatalogue::everyEntryHasOperations()
{
    // Each entry runs somewhere, and nothing that reads the password tables hands out rows.
    for (const auto &entry : StatementCatalogue::entries()) {
        QVERIFY2(entry.operations != 0, entry.pattern);
        const QString sql = QString::fromLatin1(entry.sql);
        if (sql.contains("UserTable") || sql.contains("userdl") || sql.contains("NewUser"))
            QVERIFY2(!(entry.operations & StatementCatalogue::Rows), entry.pattern);
    }
}

void tst_StatementCatalogue::passwordWritesAuthorisedBeforeHashing()
{
    // Every statement that stores a password says who may make it, so that a refused write
    // is answered before any hashing is spent on it.
    int passwordWrites = 0;
    for (const auto &entry : StatementCatalogue::entries()) {
        if (!QByteArray(entry.pattern).contains("{P}"))
            continue;
        ++passwordWrites;
        QVERIFY2(entry.allowedIf != nullptr, entry.pattern);
    }
    QCOMPARE(passwordWrites, 4); // the online record twice, the password change, the sign-up
}

void tst_StatementCatalogue::rowsBounded()
{
    for (const auto &entry : StatementCatalogue::entries()) {
        if (!(entry.operations & StatementCatalogue::Rows))
            continue;
        const QByteArray sql(entry.sql);
        QVERIFY2(sql.endsWith(" LIMIT " + QByteArray::number(StatementCatalogue::maxRows)) ||
                     sql.endsWith(" LIMIT 30"),
                 entry.sql);
    }
}

QTEST_GUILESS_MAIN(tst_StatementCatalogue)
#include "tst_StatementCatalogue.moc"
