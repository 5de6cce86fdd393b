#include "http/HttpRequestParser.h"

#include <boost/beast/http/error.hpp>

namespace http = boost::beast::http;

namespace {

// Errors of our own, told apart by refusalStatus.
enum class Refusal { TooManyFields = 1, AmbiguousFraming, NoRoomForBody };

class RefusalCategory : public boost::system::error_category
{
public:
    const char *name() const noexcept override { return "stock-alert-service.http"; }
    std::string message(int value) const override
    {
        switch (Refusal(value)) {
        case Refusal::TooManyFields:
            return "too many header fields";
        case Refusal::AmbiguousFraming:
            return "ambiguous message framing";
        default:
            return "no room for the body now";
        }
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

HttpRequestParser::HttpRequestParser(const Limits &limits, BodyBudget *budget)
    : limits_(limits), budget_(budget)
{
    header_limit(std::uint32_t(limits.headBytes));
    body_limit(limits.bodyBytes);
}

HttpRequestParser::~HttpRequestParser()
{
    if (budget_)
        budget_->give(reserved_);
}

bool HttpRequestParser::reserve(std::uint64_t bytes)
{
    // Over the body limit the parser refuses the request itself (413).
    if (!budget_ || bytes > limits_.bodyBytes)
        return true;
    if (!budget_->take(std::size_t(bytes)))
        return false;
    reserved_ += std::size_t(bytes);
    return true;
}

int HttpRequestParser::refusalStatus(const boost::beast::error_code &error)
{
    if (error == http::error::header_limit || error == refusal(Refusal::TooManyFields))
        return 431;
    if (error == http::error::body_limit)
        return 413;
    if (error == refusal(Refusal::NoRoomForBody))
        return 503;
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

void HttpRequestParser::on_body_init_impl(const boost::optional<std::uint64_t> &length, error_code &ec)
{
    if (!length)
        return; // chunked: each chunk is taken from the budget as its size is read
    if (!reserve(*length)) {
        ec = refusal(Refusal::NoRoomForBody);
        return;
    }
    if (*length <= limits_.bodyBytes)
        request_.body.reserve(size_t(*length));
}

std::size_t HttpRequestParser::on_body_impl(string_view body, error_code &)
{
    request_.body.append(body.data(), body.size());
    return body.size();
}

void HttpRequestParser::on_chunk_header_impl(std::uint64_t size, string_view, error_code &ec)
{
    if (request_.body.size() + size <= limits_.bodyBytes && !reserve(size))
        ec = refusal(Refusal::NoRoomForBody);
}

std::size_t HttpRequestParser::on_chunk_body_impl(std::uint64_t, string_view body, error_code &)
{
    request_.body.append(body.data(), body.size());
    return body.size();
}

void HttpRequestParser::on_finish_impl(error_code &) {}
