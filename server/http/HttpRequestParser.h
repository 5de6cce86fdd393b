#pragma once

#include "http/BodyBudget.h"
#include "http/HttpRequest.h"

#include <boost/beast/http/basic_parser.hpp>

#include <cstddef>

// Reads one request into an HttpRequest with Beast's parser and bounds what a peer can make
// it hold: the head's size (checked while it is still unread bytes) and its number of fields
// (checked before a field is stored), and the body's size (from the announced length, before
// any of it is read). It also refuses the framing a proxy and this service might read
// differently: a second Content-Length, and any Transfer-Encoding other than a lone
// "chunked".
class HttpRequestParser : public boost::beast::http::basic_parser<true>
{
public:
    struct Limits
    {
        std::size_t headBytes = 16 * 1024;
        std::size_t headerCount = 100;
        std::size_t bodyBytes = 64 * 1024;
    };

    // budget: shared by every connection (none: bodies are bounded one by one only). What a
    // body takes from it is given back when the parser ends.
    explicit HttpRequestParser(const Limits &limits, BodyBudget *budget = nullptr);
    ~HttpRequestParser();

    HttpRequest &request() { return request_; }

    // The status that refuses a request the parser stopped at with this error (400, 413, 431,
    // 503).
    static int refusalStatus(const boost::beast::error_code &error);

private:
    using error_code = boost::beast::error_code;
    using field = boost::beast::http::field;
    using string_view = boost::beast::string_view;

    void on_request_impl(boost::beast::http::verb method, string_view methodText, string_view target,
                         int version, error_code &ec) override;
    void on_response_impl(int, string_view, int, error_code &ec) override;
    void on_field_impl(field name, string_view nameText, string_view value, error_code &ec) override;
    void on_header_impl(error_code &ec) override;
    void on_body_init_impl(const boost::optional<std::uint64_t> &length, error_code &ec) override;
    std::size_t on_body_impl(string_view body, error_code &ec) override;
    void on_chunk_header_impl(std::uint64_t size, string_view extensions, error_code &ec) override;
    std::size_t on_chunk_body_impl(std::uint64_t remain, string_view body, error_code &ec) override;
    void on_finish_impl(error_code &ec) override;

    bool reserve(std::uint64_t bytes);

    Limits limits_;
    BodyBudget *budget_;
    std::size_t reserved_ = 0;
    HttpRequest request_;
    int contentLengths_ = 0;
};
