// libFuzzer target for what a request carries: the HTTP request parser with its limits, the
// SOAP request parser, the statement matcher, the date-time reader and the XML escaping of
// answers. Built and run by scripts/fuzz-server with clang's -fsanitize=fuzzer,address.
#include "http/ClientAddress.h"
#include "http/HttpRequestParser.h"
#include "service/DataSetWriter.h"
#include "service/StatementCatalogue.h"
#include "soap/ClientFault.h"
#include "soap/SoapEnvelope.h"
#include "soap/SoapRequest.h"
#include "soap/XmlText.h"
#include "store/DateTimeText.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Whatever text goes into an answer, the answer stays well-formed XML.
void checkAnswerWellFormed(const std::string &text)
{
    std::string answer = SoapEnvelope::response("hqsametable", text);
    pugi::xml_document document;
    check(bool(
        document.load_buffer(answer.data(), answer.size(), pugi::parse_default | pugi::parse_ws_pcdata)));
    if (XmlText::validUtf8(text)) {
        bool plain = true;
        for (unsigned char c : text)
            plain = plain && (c >= 0x20 || c == '\t' || c == '\n');
        std::string back = document
                               .first_element_by_path("soap:Envelope/soap:Body/hqsametableResponse/"
                                                      "hqsametableResult")
                               .text()
                               .get();
        // Text made only of XML characters reads back exactly.
        if (plain && back != text && !(text.empty() && back.empty()))
            check(false);
    }
}

void checkStatement(const std::string &sql)
{
    auto match = StatementCatalogue::match(sql);
    if (!match)
        return;
    // A recognised statement yields exactly the values its SQL binds, each of its kind.
    for (const auto &value : match->values) {
        if (value.kind == StatementCatalogue::ValueKind::Integer) {
            check(!value.text.empty() && value.text.size() <= 19);
            std::stoll(value.text); // must not throw
        }
        if (value.kind == StatementCatalogue::ValueKind::Date)
            check(DateTimeText::normalise(value.text).value_or("") == value.text);
    }
}

// Bytes as they come off a connection, in pieces of varying size: whatever the parser
// accepts stays within its limits and has unambiguous framing.
void checkHttpHead(const std::string &bytes)
{
    HttpRequestParser::Limits limits{512, 8, 1024};
    HttpRequestParser parser(limits);
    boost::beast::error_code error;
    size_t offset = 0, piece = 1;
    while (offset < bytes.size() && !parser.is_done()) {
        size_t available = std::min(bytes.size() - offset, piece);
        size_t used = parser.put(boost::asio::buffer(bytes.data() + offset, available), error);
        if (error == boost::beast::http::error::need_more) {
            if (offset + available == bytes.size())
                break;
            piece = piece * 2 + 1; // the unread part is offered again with more after it
            error = {};
            continue;
        }
        if (error)
            break;
        offset += used;
    }
    const HttpRequest &request = parser.request();
    check(request.headers.size() <= limits.headerCount);
    check(request.body.size() <= limits.bodyBytes);
    if (!error && parser.is_done()) {
        check(request.headerValues("Content-Length").size() <= 1);
        for (const std::string &coding : request.headerValues("Transfer-Encoding"))
            check(coding.size() == 7);
    }
    if (error)
        check(HttpRequestParser::refusalStatus(error) >= 400);
    // Forwarded addresses from a trusted peer: an address or a refusal, never other text.
    auto address = ClientAddress({"127.0.0.1"}).resolve("127.0.0.1", request.headerValues("X-Forwarded-For"));
    if (address)
        check(ClientAddress::normalise(*address) == address);
    auto query =
        decodeQuery(request.target.substr(std::min(request.target.size(), request.target.find('?') + 1)));
    if (query)
        for (const auto &[name, value] : *query)
            check(value.find('\0') == std::string::npos && name.find('\0') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string input(reinterpret_cast<const char *>(data) + 1, size - 1);
    switch (data[0] % 5) {
    case 0: { // a whole request body, with the parameters going on to the matcher
        static const char *const actions[] = {
            "\"http://tempuri.org/zhixing\"", "\"http://tempuri.org/hqsfczjl\"",
            "\"http://tempuri.org/hqsametable\"", "\"http://tempuri.org/ifchangetable\"",
            "http://tempuri.org/hqSys_pz"};
        static const std::set<std::string> operations = {"zhixing", "hqsfczjl", "hqsametable",
                                                         "ifchangetable", "hqSys_pz"};
        try {
            SoapRequest request =
                SoapRequest::parse("text/xml; charset=utf-8", actions[(data[0] / 4) % 5], input, operations);
            for (const char *name : {"sql", "strsql"}) {
                try {
                    checkStatement(request.text(name));
                } catch (const ClientFault &) {
                }
            }
            try {
                request.int32("userdj");
            } catch (const ClientFault &) {
            }
        } catch (const MalformedRequest &) {
        } catch (const ClientFault &) {
        }
        break;
    }
    case 1:
        checkStatement(input);
        break;
    case 2: {
        auto time = DateTimeText::normalise(input);
        if (time) {
            // Canonical text is a fixed point and always has an XML Schema form.
            check(DateTimeText::normalise(*time) == time);
            check(DateTimeText::toXsd(*time).size() >= 25);
        }
        break;
    }
    case 3:
        checkAnswerWellFormed(input);
        checkAnswerWellFormed(DataSetWriter::write({{{"t", "TEXT", input}}}));
        break;
    case 4:
        checkHttpHead(input);
        break;
    }
    return 0;
}
