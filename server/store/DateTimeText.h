#pragma once

#include <optional>
#include <string>

// Date-times are stored as local-time text "yyyy-mm-dd hh:mm:ss[.fffffff]": the text order
// is the time order, so ranges and "dated today" are plain text comparisons.
class DateTimeText
{
public:
    // The current local time with a seven-digit fraction. Strictly increasing within the
    // process, so two writes in the same clock tick (e.g. two logins) never share a stamp.
    static std::string now();
    // The local time that many seconds ago, in the form of now().
    static std::string secondsAgo(long long seconds);
    // Midnight that starts the local day `daysFromToday` days from today.
    static std::string midnight(int daysFromToday = 0);

    // "yyyy-mm-dd" (also "yyyy/m/d") as the midnight that starts that day; nullopt when the
    // text is not a real calendar date.
    static std::optional<std::string> parseDate(const std::string &text);
    // A date or date-time text in any of the forms above, or an XML Schema date-time, in the
    // canonical form; nullopt when it is none of them.
    static std::optional<std::string> normalise(const std::string &text);

    // Canonical text as XML Schema date-time with the zone offset the server has at that
    // time, the fraction only when non-zero: 2011-06-10T09:31:05.1234567+08:00.
    // Other text is returned unchanged.
    static std::string toXsd(const std::string &canonical);
    // Canonical text shortened to "yyyy-mm-dd hh:mm:ss".
    static std::string toSeconds(const std::string &canonical);
};
