#include "store/DateTimeText.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

// The local broken-down time of seconds. Every request asks for the time of a second or
// two, so each thread keeps the last one it converted.
tm localTimeOf(time_t seconds)
{
    thread_local time_t convertedSeconds = -1;
    thread_local tm converted{};
    if (seconds != convertedSeconds) {
        converted = tm{};
        localtime_r(&seconds, &converted);
        convertedSeconds = seconds;
    }
    return converted;
}

// Appends value in decimal with at least width digits, zeros in front (as "%0*d" would).
void appendDigits(std::string &out, long long value, int width)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = count; i < width; ++i)
        out += '0';
    while (count > 0)
        out += digits[--count];
}

// Local broken-down time for a count of 100-nanosecond ticks since the epoch.
std::string formatTicks(long long ticks)
{
    tm local = localTimeOf(time_t(ticks / 10000000));
    std::string text;
    text.reserve(27);
    appendDigits(text, local.tm_year + 1900, 4);
    text += '-';
    appendDigits(text, local.tm_mon + 1, 2);
    text += '-';
    appendDigits(text, local.tm_mday, 2);
    text += ' ';
    appendDigits(text, local.tm_hour, 2);
    text += ':';
    appendDigits(text, local.tm_min, 2);
    text += ':';
    appendDigits(text, local.tm_sec, 2);
    text += '.';
    appendDigits(text, ticks % 10000000, 7);
    return text;
}

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool validDate(int y, int m, int d)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1)
        return false;
    return d <= days[m - 1] + (m == 2 && isLeap(y) ? 1 : 0);
}

// Reads 1..maxDigits decimal digits at pos.
bool readNumber(const std::string &s, size_t &pos, int minDigits, int maxDigits, int &out)
{
    size_t start = pos;
    out = 0;
    while (pos < s.size() && pos - start < size_t(maxDigits) && s[pos] >= '0' && s[pos] <= '9')
        out = out * 10 + (s[pos++] - '0');
    return pos - start >= size_t(minDigits);
}

} // namespace

std::string DateTimeText::now()
{
    static std::mutex mutex;
    static long long last = 0;
    long long ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count() /
                      100;
    {
        std::lock_guard lock(mutex);
        if (ticks <= last)
            ticks = last + 1;
        last = ticks;
    }
    return formatTicks(ticks);
}

std::string DateTimeText::secondsAgo(long long seconds)
{
    long long ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count() /
                      100;
    return formatTicks(ticks - seconds * 10000000);
}

std::string DateTimeText::midnight(int daysFromToday)
{
    // Asked by every check of a subscription: within one second the answer is the same.
    thread_local time_t answeredAt = -1;
    thread_local int answeredDays = 0;
    thread_local std::string answer;
    time_t t = time(nullptr);
    if (t == answeredAt && daysFromToday == answeredDays)
        return answer;
    tm local = localTimeOf(t);
    local.tm_mday += daysFromToday;
    local.tm_hour = 12; // noon keeps DST shifts from moving the day
    local.tm_min = local.tm_sec = 0;
    local.tm_isdst = -1;
    mktime(&local);
    char buffer[96];
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02d 00:00:00", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday);
    answer = buffer;
    answeredAt = t;
    answeredDays = daysFromToday;
    return answer;
}

std::optional<std::string> DateTimeText::parseDate(const std::string &text)
{
    size_t pos = 0;
    int y, m, d;
    if (!readNumber(text, pos, 4, 4, y) || pos >= text.size() || (text[pos] != '-' && text[pos] != '/'))
        return std::nullopt;
    char separator = text[pos++];
    if (!readNumber(text, pos, 1, 2, m) || pos >= text.size() || text[pos++] != separator)
        return std::nullopt;
    if (!readNumber(text, pos, 1, 2, d) || pos != text.size() || !validDate(y, m, d))
        return std::nullopt;
    char buffer[96];
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02d 00:00:00", y, m, d);
    return std::string(buffer);
}

std::optional<std::string> DateTimeText::normalise(const std::string &input)
{
    std::string text = input;
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    size_t cut = text.find_first_of(" T");
    if (cut == std::string::npos)
        return parseDate(text);
    auto date = parseDate(text.substr(0, cut));
    if (!date)
        return std::nullopt;
    size_t pos = cut + 1;
    int h, mi, s = 0;
    if (!readNumber(text, pos, 1, 2, h) || pos >= text.size() || text[pos++] != ':' ||
        !readNumber(text, pos, 1, 2, mi))
        return std::nullopt;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!readNumber(text, pos, 1, 2, s))
            return std::nullopt;
    }
    std::string fraction;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            fraction += text[pos++];
        if (fraction.empty())
            return std::nullopt;
        fraction.resize(7, '0');
    }
    // A zone designator of an XML Schema time is accepted but not converted: stored times
    // are the server's local time already.
    if (pos < text.size()) {
        std::string zone = text.substr(pos);
        bool zoneOk =
            zone == "Z" || (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':');
        if (!zoneOk)
            return std::nullopt;
    }
    if (h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    char buffer[96];
    snprintf(buffer, sizeof buffer, "%s %02d:%02d:%02d%s%s", date->substr(0, 10).c_str(), h, mi, s,
             fraction.empty() ? "" : ".", fraction.c_str());
    return std::string(buffer);
}

std::string DateTimeText::toXsd(const std::string &canonical)
{
    // yyyy-mm-dd hh:mm:ss[.fffffff]
    if (canonical.size() < 19 || canonical[10] != ' ')
        return canonical;
    tm local{};
    if (sscanf(canonical.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &local.tm_year, &local.tm_mon, &local.tm_mday,
               &local.tm_hour, &local.tm_min, &local.tm_sec) != 6)
        return canonical;
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    mktime(&local);
    long offset = local.tm_gmtoff / 60;
    std::string out = canonical.substr(0, 10) + "T" + canonical.substr(11, 8);
    if (canonical.size() > 20 && canonical[19] == '.') {
        std::string fraction = canonical.substr(20);
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        if (!fraction.empty())
            out += "." + fraction;
    }
    char zone[48];
    snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', labs(offset) / 60,
             labs(offset) % 60);
    return out + zone;
}

std::string DateTimeText::toSeconds(const std::string &canonical)
{
    return canonical.substr(0, 19);
}
