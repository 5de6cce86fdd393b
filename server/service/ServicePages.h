#pragma once

#include "store/DatabaseConnection.h"

#include <string>
#include <vector>

// The HTML and WSDL the service serves besides its SOAP answers.
class ServicePages
{
public:
    // GET /WebService.asmx: the operations, as an .asmx help page lists them.
    static std::string helpPage();
    // GET /WebService.asmx?wsdl, with the endpoint address the caller reached.
    static std::string wsdl(const std::string &endpoint);
    // The insider-news page for one level: rows of smnc (nowtime, bt, nr), newest first.
    static std::string insiderPage(const std::string &username, std::int64_t level,
                                   const std::vector<SqlRow> &rows);
    // An error page with a short Chinese message.
    static std::string errorPage(const std::string &title, const std::string &message);
    // One of the demo pages under /pages/ ("news", "quotes", ...), or empty when there is none.
    static std::string demoPage(const std::string &name);
    static const std::vector<std::string> &demoPageNames();
};
