#pragma once

#include <QDateTime>
#include <QTime>

// When alerts may sound: the user's quiet hours, in the desktop's own time, and the trading
// sessions of the Shanghai and Shenzhen exchanges (09:15-11:30 and 13:00-15:00 Beijing time,
// Monday to Friday), whatever time zone the desktop is in. Pure rules for a given moment: the
// caller's clock decides what "now" is.
namespace ReminderSchedule {

// Whether `time` lies in [from, to); a span whose end comes before its start runs over
// midnight (22:00 to 07:30). Equal ends make an empty span.
bool inQuietHours(const QTime &time, const QTime &from, const QTime &to);

// Whether the moment lies in a trading session (both ends included).
bool inTradingSession(const QDateTime &moment);

} // namespace ReminderSchedule
