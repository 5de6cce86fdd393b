#pragma once

#include <string>

// The console's page frame, its style sheet and its script: everything the browser loads
// comes from the console itself (no outside scripts, fonts or style sheets).
class ConsolePages
{
public:
    struct Frame
    {
        std::string title;        // shown in the heading, escaped here
        std::string operatorName; // empty: the sign-in page (no menu)
        std::string formToken;    // for the sign-out form
        std::string active;       // the menu entry of this page ("/publish")
    };
    // A whole page around body (HTML the caller escaped already); message: a notice shown
    // above the body (plain text), error: whether it reports a refusal.
    static std::string page(const Frame &frame, const std::string &body, const std::string &message = {},
                            bool error = false);
    // A hidden form field with the session's form token.
    static std::string tokenField(const std::string &formToken);

    static const char *styleSheet();
    static const char *script();
};
