#pragma once

#include <iosfwd>
#include <string>

// A password read as one line from standard input, never from the command line (where the
// process list shows it). On a terminal the typing is not echoed and a prompt is shown.
class PasswordInput
{
public:
    // Throws std::runtime_error when no line comes.
    static std::string readLine(std::ostream &prompt);
};
