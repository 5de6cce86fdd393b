#pragma once

#include <string>

// What the front end sends back for one request.
struct HttpAnswer
{
    int status = 200;
    std::string contentType;
    std::string body;
};
