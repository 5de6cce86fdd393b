#pragma once

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

// The command line of stock-alert-service: serve, init, publish, revise, user, applications.
// Options may stand anywhere after the command words ("publish stock --level 3 --code ...").
class OperatorCommands
{
public:
    // Runs one command; returns the process exit code. Messages go to out and err.
    static int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

    // The database used when --db is not given: the per-user data directory.
    static std::string defaultDatabase();

    struct Arguments
    {
        std::vector<std::string> words;
        std::map<std::string, std::string> options;       // "--level" -> "3"; flags -> ""; the last one given
        std::multimap<std::string, std::string> repeated; // every value, for options given more than once
    };
    // Throws std::runtime_error for an unknown option or one without its value.
    static Arguments parse(const std::vector<std::string> &args);

    static std::string usage();
};
