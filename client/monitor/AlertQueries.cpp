#include "AlertQueries.h"

#include "SqlText.h"
#include "UnitGlouble.h"

namespace {

// "(XinXiDJ=<level> or XinXiDJ=3)": the user's own level and the public one. The level is
// placed bare, so it must be an integer.
QString levelCondition()
{
    return QStringLiteral("(XinXiDJ=") + SqlText::integer(UnitGlouble.UserLevel) +
           QStringLiteral(" or XinXiDJ=3)");
}

QString today(const QString &table)
{
    if (UnitGlouble.UserTiering)
        return QStringLiteral("select * from ") + table + QStringLiteral(" where ") + levelCondition() +
               QStringLiteral(" and datediff(\"d\",nowtime,Date())=0 order by id desc ");
    return QStringLiteral("select * from ") + table +
           QStringLiteral(" where  datediff(\"d\",nowtime,Date())=0 order by id desc ");
}

} // namespace

namespace AlertQueries {

QString todayAlerts()
{
    return today(QStringLiteral("Tuijiangupiao"));
}

QString latestAlerts()
{
    if (UnitGlouble.UserTiering)
        return QStringLiteral("select top 30 * from Tuijiangupiao where ") + levelCondition() +
               QStringLiteral("  order by id desc ");
    return QStringLiteral("select top 30 * from Tuijiangupiao order by id desc ");
}

QString todayNews()
{
    return today(QStringLiteral("spzx"));
}

} // namespace AlertQueries
