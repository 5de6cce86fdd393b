#pragma once

#include <string>

// Text from the database or a request, made safe to put into an HTML page: as element text or
// inside a quoted attribute value it shows as the characters it is, never as markup.
class HtmlText
{
public:
    static std::string escape(const std::string &text);
};
