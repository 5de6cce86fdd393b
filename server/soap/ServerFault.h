#pragma once

#include <stdexcept>

// A failure while serving a well-formed request (answered as soap:Server).
class ServerFault : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
