#include "cli/PasswordInput.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace {

// Turns echo off for its life when standard input is a terminal.
class EchoOff
{
public:
    EchoOff()
    {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (active_)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    bool active() const { return active_; }

private:
    termios saved_{};
    bool active_ = false;
};

std::runtime_error tooLong()
{
    return std::runtime_error("the password is longer than " + std::to_string(PasswordInput::maxLength) +
                              " bytes");
}

// One line without its line end; nullopt when the input ended before any byte. Stops
// reading past maxLength, so that a file without line ends (a device, a huge file) is not
// read whole.
std::optional<std::string> boundedLine(std::istream &in)
{
    std::string line;
    bool any = false;
    for (char c; in.get(c);) {
        any = true;
        if (c == '\n')
            break;
        line += c;
        if (line.size() > PasswordInput::maxLength + 1) // room for a carriage return
            throw tooLong();
    }
    if (!any)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > PasswordInput::maxLength)
        throw tooLong();
    return line;
}

std::optional<std::string> fromStandardInput(std::ostream &prompt)
{
    EchoOff echo;
    if (echo.active())
        prompt << "password: " << std::flush;
    auto line = boundedLine(std::cin);
    if (echo.active())
        prompt << "\n";
    return line;
}

std::optional<std::string> fromFile(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the password file " + file + ": " + std::strerror(errno));
    return boundedLine(in);
}

} // namespace

std::string PasswordInput::read(const std::optional<std::string> &file, std::ostream &prompt)
{
    auto password = file ? fromFile(*file) : fromStandardInput(prompt);
    if (!password)
        throw std::runtime_error(file ? "the password file " + *file + " is empty"
                                      : "no password given (one line on standard input)");
    if (password->empty())
        throw std::runtime_error("an empty password is refused");
    return *password;
}
