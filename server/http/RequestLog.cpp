#include "http/RequestLog.h"

#include "http/JsonText.h"

#include <cstdio>
#include <ctime>

std::string RequestLog::logTime()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    int ms =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", ms);
    return text;
}

namespace {

// A method or path as sent may hold anything; the log keeps one request per line.
std::string printable(std::string text)
{
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 0x21 || c == 0x7f)
            c = '?';
    return text;
}

} // namespace

std::string RequestLog::line(const std::string &address, const HttpRequest *request,
                             const std::string &operation, int status, double ms)
{
    std::string method = request ? printable(request->method) : "-";
    std::string path = request ? printable(request->path) : "-";
    char tail[48];
    std::snprintf(tail, sizeof tail, " %d %.2f ms\n", status, ms);
    return logTime() + " " + address + " " + method + " " + path + " " +
           (operation.empty() ? "-" : operation) + tail;
}

std::string RequestLog::jsonLine(const std::string &address, const HttpRequest *request,
                                 const std::string &operation, int status, double ms)
{
    auto orNull = [](bool known, const std::string &text) { return known ? JsonText::quoted(text) : "null"; };
    char tail[64];
    std::snprintf(tail, sizeof tail, ",\"status\":%d,\"ms\":%.2f}\n", status, ms);
    return "{\"time\":" + JsonText::quoted(logTime()) +
           ",\"event\":\"request\",\"address\":" + JsonText::quoted(address) +
           ",\"method\":" + orNull(request, request ? request->method : "") +
           ",\"path\":" + orNull(request, request ? request->path : "") +
           ",\"operation\":" + orNull(!operation.empty(), operation) + tail;
}

void RequestLog::write(const std::string &address, const HttpRequest *request, const std::string &operation,
                       int status, std::chrono::steady_clock::time_point started) const
{
    if (!enabled_)
        return;
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    std::string text = json_ ? jsonLine(address, request, operation, status, ms)
                             : line(address, request, operation, status, ms);
    std::fputs(text.c_str(), stderr);
}
