#include "http/HttpRequestParser.h"

#include <boost/beast/http/error.hpp>

namespace http = boost::beast::http;

namespace {

// Errors of our own, told apart by refusalStatus.
enum class Refusal { TooManyFields = 1, AmbiguousFraming };

class RefusalCategory : public boost::system::error_category
{
public:
    const char *name() const noexcept override { return "stock-alert-service.http"; }
    std::string message(int value) const override
    {
        return value == int(Refusal::TooManyFields) ? "too many header fields" : "ambiguous message framing";
    }
};

const RefusalCategory refusalCategory;

boost::beast::error_code refusal(Refusal value)
{
    return {int(value), refusalCategory};
}

std::string trimmed(boost::beast::string_view text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return std::string(text.substr(begin, end - begin));
}

} // namespace

HttpRequestParser::HttpRequestParser(const Limits &limits) : limits_(limits)
{
    header_limit(std::uint32_t(limits.headBytes));
    body_limit(limits.bodyBytes);
}

int HttpRequestParser::refusalStatus(const boost::beast::error_code &error)
{
    if (error == http::error::header_limit || error == refusal(Refusal::TooManyFields))
        return 431;
    if (error == http::error::body_limit)
        return 413;
    return 400;
}

void HttpRequestParser::on_request_impl(http::verb, string_view methodText, string_view target, int version,
                                        error_code &)
{
    request_.method = std::string(methodText);
    request_.target = std::string(target);
    request_.path = request_.target.substr(0, request_.target.find('?'));
    request_.version = version;
}

void HttpRequestParser::on_response_impl(int, string_view, int, error_code &ec)
{
    ec = http::error::bad_version; // a request parser never sees a status line
}

void HttpRequestParser::on_field_impl(field name, string_view nameText, string_view value, error_code &ec)
{
    if (request_.headers.size() >= limits_.headerCount) {
        ec = refusal(Refusal::TooManyFields);
        return;
    }
    if (name == field::content_length && ++contentLengths_ > 1) {
        ec = refusal(Refusal::AmbiguousFraming);
        return;
    }
    if (name == field::transfer_encoding) {
        std::string coding = trimmed(value);
        bool chunkedAlone = coding.size() == 7;
        for (size_t i = 0; chunkedAlone && i < 7; ++i)
            chunkedAlone = std::tolower(static_cast<unsigned char>(coding[i])) == "chunked"[i];
        if (!chunkedAlone) {
            ec = refusal(Refusal::AmbiguousFraming);
            return;
        }
    }
    request_.headers.emplace_back(std::string(nameText), trimmed(value));
}

void HttpRequestParser::on_header_impl(error_code &) {}

void HttpRequestParser::on_body_init_impl(const boost::optional<std::uint64_t> &length, error_code &)
{
    if (length)
        request_.body.reserve(size_t(*length));
}

std::size_t HttpRequestParser::on_body_impl(string_view body, error_code &)
{
    request_.body.append(body.data(), body.size());
    return body.size();
}

void HttpRequestParser::on_chunk_header_impl(std::uint64_t, string_view, error_code &) {}

std::size_t HttpRequestParser::on_chunk_body_impl(std::uint64_t, string_view body, error_code &)
{
    request_.body.append(body.data(), body.size());
    return body.size();
}

void HttpRequestParser::on_finish_impl(error_code &) {}
