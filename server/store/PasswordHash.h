#pragma once

#include <string>

// Salted, slow password hashes (PBKDF2-HMAC-SHA256) so that a copy of the database does
// not give away subscribers' passwords. Stored form: "pbkdf2-sha256$ITERATIONS$SALT$HASH"
// with salt and hash in hexadecimal.
class PasswordHash
{
public:
    static std::string hash(const std::string &password);
    // Constant-time comparison. A stored value that is not in the hashed form never
    // verifies: the service writes no clear passwords.
    static bool verify(const std::string &password, const std::string &stored);
    // Spends the time of one verification, so that an unknown user name answers no faster
    // than a wrong password.
    static void burn(const std::string &password);

    static constexpr int iterations = 60000;
};
