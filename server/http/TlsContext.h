#pragma once

#include <boost/asio/ssl/context.hpp>

#include <memory>
#include <mutex>
#include <string>

// The certificate and key a TLS listener answers with, loaded from two PEM files (the
// certificate file may hold the chain after the certificate). TLS 1.2 or later with the
// system's OpenSSL defaults for everything else.
//
// reload() reads both files again into a fresh context: connections accepted afterwards use
// the new one, open connections keep the context they were accepted with until they end (each
// holds a reference to it). Several listeners may share one TlsContext and so reload together.
class TlsContext
{
public:
    // Throws std::runtime_error naming the file and OpenSSL's reason when either file cannot
    // be read or the key does not belong to the certificate.
    TlsContext(std::string certificateFile, std::string keyFile);

    // On failure throws as the constructor does and keeps the context in use.
    void reload();

    // The context for a connection accepted now.
    std::shared_ptr<boost::asio::ssl::context> current() const;

    const std::string &certificateFile() const { return certificateFile_; }

private:
    std::shared_ptr<boost::asio::ssl::context> load() const;

    std::string certificateFile_;
    std::string keyFile_;
    mutable std::mutex mutex_;
    std::shared_ptr<boost::asio::ssl::context> current_;
};
