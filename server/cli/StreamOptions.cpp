#include "cli/StreamOptions.h"

#include <map>
#include <stdexcept>

std::string StreamOptions::optionFor(const std::string &column)
{
    static const std::map<std::string, std::string> options = {
        {"gupiaodaima", "--code"}, {"jg", "--name"},   {"czfs", "--op"},
        {"czly", "--reason"},      {"bt", "--title"},  {"nr", "--body"},
        {"zxlx", "--type"},        {"zxnr", "--text"}, {"nowtime", "--time"},
    };
    auto it = options.find(column);
    if (it == options.end())
        throw std::logic_error("no option for the column " + column);
    return it->second;
}
