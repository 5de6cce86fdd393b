#include "http/TlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>

namespace ssl = boost::asio::ssl;

namespace {

// OpenSSL's own reason for the last failure ("no such file", "key values mismatch").
std::string openSslReason(const boost::system::error_code &error)
{
    const char *reason = ERR_reason_error_string(ERR_peek_last_error());
    std::string text = reason ? reason : error.message();
    ERR_clear_error();
    return text;
}

void require(bool ok, const std::string &what, const boost::system::error_code &error)
{
    if (!ok)
        throw std::runtime_error(what + ": " + openSslReason(error));
}

} // namespace

TlsContext::TlsContext(std::string certificateFile, std::string keyFile)
    : certificateFile_(std::move(certificateFile)), keyFile_(std::move(keyFile)), current_(load())
{
}

void TlsContext::reload()
{
    auto fresh = load();
    std::lock_guard lock(mutex_);
    current_ = std::move(fresh);
}

std::shared_ptr<ssl::context> TlsContext::current() const
{
    std::lock_guard lock(mutex_);
    return current_;
}

std::shared_ptr<ssl::context> TlsContext::load() const
{
    auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
    SSL_CTX *native = context->native_handle();
    boost::system::error_code error;
    require(SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION) == 1, "TLS 1.2", error);
    context->set_options(ssl::context::default_workarounds | ssl::context::single_dh_use, error);
    context->use_certificate_chain_file(certificateFile_, error);
    require(!error, "cannot load the certificate " + certificateFile_, error);
    context->use_private_key_file(keyFile_, ssl::context::pem, error);
    require(!error, "cannot load the key " + keyFile_, error);
    require(SSL_CTX_check_private_key(native) == 1,
            "the key " + keyFile_ + " does not belong to the certificate " + certificateFile_, error);
    return context;
}
