#pragma once

#include <string>
#include <utility>
#include <vector>

// What the front end sends back for one request.
struct HttpAnswer
{
    int status = 200;
    std::string contentType;
    std::string body;
    // Further header fields (Set-Cookie, Location, ...), sent as they are.
    std::vector<std::pair<std::string, std::string>> headers = {};
};
