#include "ClientStatements.h"

#include "SqlText.h"

namespace {

using SqlText::integer;
using SqlText::quoted;

// "(XinXiDJ=<level> or XinXiDJ=3)": the user's own level and the public one.
QString levelCondition(const ClientStatements::Audience &audience)
{
    return QStringLiteral("(XinXiDJ=") + integer(audience.userLevel) + QStringLiteral(" or XinXiDJ=3)");
}

QString today(const QString &table, const ClientStatements::Audience &audience)
{
    if (audience.tiering)
        return QStringLiteral("select * from ") + table + QStringLiteral(" where ") +
               levelCondition(audience) +
               QStringLiteral(" and datediff(\"d\",nowtime,Date())=0 order by id desc ");
    return QStringLiteral("select * from ") + table +
           QStringLiteral(" where  datediff(\"d\",nowtime,Date())=0 order by id desc ");
}

// The service reads dates between "#" marks as yyyy-mm-dd, whatever the user's regional
// settings would write.
QString jetDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

namespace ClientStatements {

QString pageAddresses()
{
    return QStringLiteral("select * from Sys_url");
}

QString onlineRecordCount(const QString &userId)
{
    return QStringLiteral(" select * from userdl where userid=") + integer(userId);
}

QString onlineRecordUpdate(const OnlineRecord &record)
{
    return QStringLiteral("update userdl set userzh='") + quoted(record.userName) +
           QStringLiteral("',userpas='") + quoted(record.password) + QStringLiteral("', userdqsj='") +
           quoted(record.expiryDate) + QStringLiteral("',userdlsj=now(), userdlip='") +
           quoted(record.address) + QStringLiteral("' where userid=") + integer(record.userId);
}

QString onlineRecordInsert(const OnlineRecord &record)
{
    return QStringLiteral("Insert into userdl(userid,userzh,userpas,userdqsj,userdlsj,userdlip)") +
           QStringLiteral(" values(") + integer(record.userId) + QStringLiteral(",'") +
           quoted(record.userName) + QStringLiteral("','") + quoted(record.password) + QStringLiteral("','") +
           quoted(record.expiryDate) + QStringLiteral("',now(),'") + quoted(record.address) +
           QStringLiteral("' )");
}

QString onlineRecordDelete(const QString &userId, const QString &loginStamp)
{
    return QStringLiteral("delete from userdl where userid=") + integer(userId) +
           QStringLiteral(" and userdlsj='") + quoted(loginStamp) + QLatin1Char('\'');
}

QString passwordChange(const QString &userId, const QString &password)
{
    return QStringLiteral("update UserTable set userpas= '") + quoted(password) +
           QStringLiteral("' where id=") + integer(userId);
}

QString userNameCount(const QString &name)
{
    return QStringLiteral("select * from UserTable where (StrComp(username,'") + quoted(name) +
           QStringLiteral("',0)=0) ");
}

QString applicationNameCount(const QString &name)
{
    return QStringLiteral("select * from NewUser where (StrComp(usetrname,'") + quoted(name) +
           QStringLiteral("',0)=0) ");
}

QString signUpApplication(const QString &name, const QString &password, const QString &phone)
{
    return QStringLiteral("insert into NewUser(usetrname,zcmm,zhucetime,shouji) values('") + quoted(name) +
           QStringLiteral("','") + quoted(password) + QStringLiteral("',date(),'") + quoted(phone) +
           QStringLiteral("')");
}

QString todayAlerts(const Audience &audience)
{
    return today(QStringLiteral("Tuijiangupiao"), audience);
}

QString latestAlerts(const Audience &audience)
{
    if (audience.tiering)
        return QStringLiteral("select top 30 * from Tuijiangupiao where ") + levelCondition(audience) +
               QStringLiteral("  order by id desc ");
    return QStringLiteral("select top 30 * from Tuijiangupiao order by id desc ");
}

QString todayNews(const Audience &audience)
{
    return today(QStringLiteral("spzx"), audience);
}

QString alertHistory(const Audience &audience, const QDate &from, const QDate &to)
{
    const QString start = audience.tiering ? QStringLiteral("select * from Tuijiangupiao where ") +
                                                 levelCondition(audience) + QStringLiteral(" and ")
                                           : QStringLiteral("select * from Tuijiangupiao where ");
    return start + QStringLiteral(" nowtime>=#") + jetDate(from) + QStringLiteral("# and nowtime<=#") +
           jetDate(to.addDays(1)) + QStringLiteral("#   ") + QStringLiteral(" order by id desc ");
}

} // namespace ClientStatements
