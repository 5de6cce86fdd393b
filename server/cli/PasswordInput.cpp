#include "cli/PasswordInput.h"

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

} // namespace

std::string PasswordInput::readLine(std::ostream &prompt)
{
    std::string line;
    bool read = false;
    {
        EchoOff echo;
        if (echo.active())
            prompt << "password: " << std::flush;
        read = bool(std::getline(std::cin, line));
        if (echo.active())
            prompt << "\n";
    }
    if (!read)
        throw std::runtime_error("no password given (one line on standard input)");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}
