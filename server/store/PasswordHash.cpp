#include "store/PasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

namespace {

const char *const scheme = "pbkdf2-sha256";

std::string toHex(const unsigned char *data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

bool fromHex(const std::string &hex, std::vector<unsigned char> &out)
{
    if (hex.size() % 2)
        return false;
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<unsigned char>(hi * 16 + lo));
    }
    return true;
}

std::vector<unsigned char> derive(const std::string &password, const std::vector<unsigned char> &salt,
                                  int rounds)
{
    std::vector<unsigned char> key(32);
    if (PKCS5_PBKDF2_HMAC(password.data(), int(password.size()), salt.data(), int(salt.size()), rounds,
                          EVP_sha256(), int(key.size()), key.data()) != 1)
        throw std::runtime_error("password hashing failed");
    return key;
}

} // namespace

std::string PasswordHash::hash(const std::string &password)
{
    std::vector<unsigned char> salt(16);
    if (RAND_bytes(salt.data(), int(salt.size())) != 1)
        throw std::runtime_error("no random bytes for a password salt");
    auto key = derive(password, salt, iterations);
    return std::string(scheme) + "$" + std::to_string(iterations) + "$" + toHex(salt.data(), salt.size()) +
           "$" + toHex(key.data(), key.size());
}

bool PasswordHash::verify(const std::string &password, const std::string &stored)
{
    size_t a = stored.find('$');
    size_t b = a == std::string::npos ? a : stored.find('$', a + 1);
    size_t c = b == std::string::npos ? b : stored.find('$', b + 1);
    if (c == std::string::npos || stored.compare(0, a, scheme) != 0) {
        burn(password);
        return false;
    }
    int rounds = 0;
    try {
        rounds = std::stoi(stored.substr(a + 1, b - a - 1));
    } catch (const std::exception &) {
        return false;
    }
    std::vector<unsigned char> salt, expected;
    if (rounds < 1 || rounds > 10000000 || !fromHex(stored.substr(b + 1, c - b - 1), salt) ||
        !fromHex(stored.substr(c + 1), expected) || expected.size() != 32)
        return false;
    auto key = derive(password, salt, rounds);
    return CRYPTO_memcmp(key.data(), expected.data(), key.size()) == 0;
}

void PasswordHash::burn(const std::string &password)
{
    derive(password, std::vector<unsigned char>(16, 0), iterations);
}
