#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>

// A password for an account, never from the command line (where the process list shows
// it): the first line of a file the operator names, or else one line of standard input. On
// a terminal the typing is not echoed and a prompt is shown.
class PasswordInput
{
public:
    // Throws std::runtime_error when no password comes, when it is empty or longer than
    // maxLength bytes, or when the file cannot be read.
    static std::string read(const std::optional<std::string> &file, std::ostream &prompt);

    static constexpr std::size_t maxLength = 1024;
};
