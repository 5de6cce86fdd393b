#include "ReminderSchedule.h"

#include <QTimeZone>

namespace ReminderSchedule {

namespace {

// The exchanges' time zone; UTC+8 without daylight saving where the system has no zone data.
QTimeZone beijingTime()
{
    const QTimeZone shanghai(QByteArrayLiteral("Asia/Shanghai"));
    return shanghai.isValid() ? shanghai : QTimeZone(8 * 3600);
}

} // namespace

bool inQuietHours(const QTime &time, const QTime &from, const QTime &to)
{
    if (from == to)
        return false;
    if (from < to)
        return time >= from && time < to;
    return time >= from || time < to;
}

bool inTradingSession(const QDateTime &moment)
{
    const QDateTime beijing = moment.toTimeZone(beijingTime());
    if (beijing.date().dayOfWeek() > 5)
        return false;
    const QTime time = beijing.time();
    // Both ends belong to the session: the closing minute's alerts are the session's own.
    return (time >= QTime(9, 15) && time <= QTime(11, 30)) || (time >= QTime(13, 0) && time <= QTime(15, 0));
}

} // namespace ReminderSchedule
