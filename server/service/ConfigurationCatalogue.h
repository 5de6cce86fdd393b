#pragma once

#include "store/DatabaseConnection.h"

#include <optional>
#include <string>
#include <vector>

// Every setting the clients read at sign-in, under the name an operator uses for it
// ("poll-seconds"), with its meaning, the value a fresh service starts with, and what a
// valid value is. The command line's "config" and the console's configuration page both
// work from this one list.
class ConfigurationCatalogue
{
public:
    enum class Kind {
        Text,    // one line
        Lines,   // text that may hold line breaks (the login prompt)
        Seconds, // a positive whole number of seconds
        Flag,    // true or false
        Address, // http(s)://... or a path on this service ("/pages/news.html")
    };

    struct Setting
    {
        const char *name;   // system-name, page.news.url
        const char *table;  // Sys_pz or Sys_url
        const char *column; // gpsysname
        Kind kind;
        const char *meaning; // for the operator, English
        const char *label;   // for the console, Chinese
        const char *initial; // what init writes into a fresh database
    };

    static const std::vector<Setting> &all();
    static const Setting *named(const std::string &name);

    // Why value is not acceptable for setting (English), or nullopt when it is.
    static std::optional<std::string> refusal(const Setting &setting, const std::string &value);
    // The value as stored (flags as 0/1, seconds as a number). Call after refusal() said yes.
    static SqlValue stored(const Setting &setting, const std::string &value);
    // A stored value as the operator writes it (flags as true/false).
    static std::string shown(const Setting &setting, const SqlValue &value);

    // Longest text a setting takes, in characters.
    static constexpr std::size_t maxTextLength = 2000;
};
