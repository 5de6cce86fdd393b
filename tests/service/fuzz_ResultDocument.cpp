// libFuzzer target for the client's reading of service answers (scripts/fuzz-client).
// The first byte picks what the rest is:
//   even: a result document (UTF-8), loaded into a document that lives across inputs;
//         every field of every row is read, by the names the answer holds and a few fixed
//         ones, and some texts are kept to be checked by later inputs;
//   odd:  an HTTP answer to a SOAP operation (the second byte picks the status and the
//         content type); a result text is then loaded as a result document.
// Besides the sanitizers, it stops on a text that changed after it was read, a text that
// holds a NUL, a surrogate or a character the GBK trip would change, and a read of the
// same field that gives another text.

#include "GbkCodePage.h"
#include "ResultDocument.h"
#include "SoapAnswer.h"
#include "TextConversions.h"

#include <QString>

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

[[noreturn]] void finding(const char *what, const QString &text)
{
    std::fprintf(stderr, "fuzz_ResultDocument: %s: \"%s\"\n", what, qPrintable(text.left(200)));
    std::abort();
}

// Texts read from earlier documents, each with a copy of its characters made when it was
// read: the document's later loads must never change them. Their characters are looked at
// through constData(), which never copies them.
struct KeptText
{
    QString text;
    std::u16string copy;
};
std::vector<KeptText> kept;
std::size_t nextKept = 0;
constexpr std::size_t KeptTexts = 64;

void keep(const QString &text)
{
    KeptText entry{text, std::u16string(reinterpret_cast<const char16_t *>(text.constData()),
                                        static_cast<std::size_t>(text.size()))};
    if (kept.size() < KeptTexts)
        kept.push_back(std::move(entry));
    else
        kept[nextKept++ % KeptTexts] = std::move(entry);
}

void checkKept()
{
    for (const KeptText &entry : kept) {
        if (std::u16string_view(reinterpret_cast<const char16_t *>(entry.text.constData()),
                                static_cast<std::size_t>(entry.text.size())) != entry.copy)
            finding("a kept text changed", entry.text);
    }
}

// The characters that the GBK trip can give.
std::vector<bool> tripResults()
{
    std::vector<bool> results(0x10000);
    for (char32_t c = 0; c < 0x10000; ++c)
        results[GbkCodePage::roundTrip(c)] = true;
    return results;
}

// Every character of a field text has been through the GBK trip.
void checkText(const QString &text)
{
    static const std::vector<bool> possible = tripResults();
    for (const QChar c : text) {
        if (c.unicode() == 0)
            finding("a text holds a NUL", text);
        if (c.isSurrogate())
            finding("a text holds a surrogate", text);
        if (!possible[c.unicode()])
            finding("a text holds a character the GBK trip never gives", text);
    }
}

// The names of the fields of every row, found by a parse of their own.
std::vector<QString> fieldNames(const QByteArray &utf8)
{
    std::vector<QString> names = {u"id"_qs, u"czly"_qs, u"名称"_qs, QString(), u"a"_qs + QChar(0)};
    pugi::xml_document document;
    if (!document.load_buffer(utf8.constData(), static_cast<size_t>(utf8.size())))
        return names;
    for (const pugi::xml_node row : document.document_element().children()) {
        for (const pugi::xml_node field : row.children()) {
            if (*field.name() && names.size() < 64)
                names.push_back(QString::fromUtf8(field.name()));
        }
    }
    return names;
}

void readAll(ResultDocument &document, const std::vector<QString> &names)
{
    const int rows = document.rowCount();
    for (int row = -1; row <= rows; ++row) {
        for (const QString &name : names) {
            try {
                const QString text = document.fieldText(row, name);
                checkText(text);
                if (document.fieldText(row, name) != text)
                    finding("a second read differs", text);
                if (!text.isEmpty() && (row + text.size()) % 5 == 0)
                    keep(text);
            } catch (const std::runtime_error &) {
                // Out-of-range rows and element content: the reader's errors.
            }
        }
    }
}

ResultDocument &document()
{
    static ResultDocument instance;
    return instance;
}

void loadAndRead(const QString &answer)
{
    const QByteArray utf8 = answer.toUtf8();
    try {
        document().load(answer);
    } catch (const std::runtime_error &) {
        if (document().rowCount() != 0)
            finding("a refused answer left rows", answer);
        return;
    }
    readAll(document(), fieldNames(utf8));
}

void readSoapAnswer(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return;
    static const long statuses[] = {200, 500, 404, 302};
    static const char *const contentTypes[] = {"text/xml; charset=utf-8", "text/plain",
                                               "application/soap+xml", ""};
    HttpResponse response;
    response.status = statuses[data[0] & 3];
    response.reasonPhrase = "Reason";
    response.contentType = contentTypes[(data[0] >> 2) & 3];
    response.body = QByteArray(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    QString result;
    try {
        result = SoapAnswer::resultText(response, "hqsametable", u"http://127.0.0.1:1/WebService.asmx"_qs);
    } catch (const std::runtime_error &) {
        return;
    }
    if (result.contains(QChar(0)))
        finding("a SOAP result holds a NUL", result);
    loadAndRead(TextConversions::throughGbk(result));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    checkText(u"涨"_qs); // builds the tables once, outside every input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    checkKept();
    if (data[0] & 1)
        readSoapAnswer(data + 1, size - 1);
    else
        loadAndRead(
            QString::fromUtf8(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1)));
    checkKept();
    return 0;
}
