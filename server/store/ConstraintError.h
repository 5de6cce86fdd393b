#pragma once

#include <stdexcept>

// The database refused a statement because of a constraint (UNIQUE, NOT NULL, CHECK): the
// store's callers tell this apart from a failure of the database itself.
class ConstraintError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
