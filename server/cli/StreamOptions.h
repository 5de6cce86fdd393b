#pragma once

#include <string>

// The command-line option that gives each stream column a value ("--code" for gupiaodaima):
// the operator's words stay here, the store knows only its columns.
class StreamOptions
{
public:
    // The option for a stream column; throws std::logic_error for a column without one.
    static std::string optionFor(const std::string &column);
};
