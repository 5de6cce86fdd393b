#include "ResultDocument.h"

#include "TextSliceStore.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RESULT_DOCUMENT_SSE2 1
#endif

namespace {

// A field as the load found it: the callers read most fields of every row, so every text
// is decoded once, in one pass over the parsed document, and the parsed document is not
// kept.
struct Field
{
    std::uint32_t name; // into Impl::names
    TextSliceStore::Slice text;
    // An earlier field of the row has the same name: reads by that name never see this one.
    bool shadowed = false;
    // The element holds more than one node, or a node that is not text: reading it is an
    // error, but only when it is read.
    bool singleText = true;
};

struct Row
{
    std::uint32_t first; // into Impl::fields
    std::uint32_t count;
};

// Zero bytes behind the parsed text: the parser works in place, so every name and text in
// the document lies in the buffer, and sixteen bytes from any of their bytes can be read
// at once.
constexpr size_t Padding = 16;

// The answer as UTF-8 in a buffer from pugixml's allocator, for the parser to own, with
// the padding behind it.
char *parseBuffer(const QString &answer, size_t &length)
{
    const QByteArray utf8 = answer.toUtf8();
    length = static_cast<size_t>(utf8.size());
    auto *const buffer = static_cast<char *>(pugi::get_memory_allocation_function()(length + 1 + Padding));
    if (!buffer)
        throw std::bad_alloc();
    std::memcpy(buffer, utf8.constData(), length);
    std::memset(buffer + length, 0, 1 + Padding);
    return buffer;
}

// name is certainly the stored name: the same UTF-16 as the name's valid UTF-8, which
// holds neither zero characters nor lone surrogates. Any other name is left to the exact
// comparison of UTF-8 keys.
bool sameName(const QString &stored, const QString &name)
{
    const qsizetype length = name.size();
    if (stored.size() != length)
        return false;
    const QChar *a = stored.constData();
    const QChar *b = name.constData();
    if (length < 4) {
        for (qsizetype i = 0; i < length; ++i) {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }
    // Four units at a time; the last four overlap the ones before when the length is not
    // a multiple of four.
    const auto four = [](const QChar *p) {
        std::uint64_t units;
        std::memcpy(&units, p, sizeof units);
        return units;
    };
    for (qsizetype i = 0; i < length - 4; i += 4) {
        if (four(a + i) != four(b + i))
            return false;
    }
    return four(a + length - 4) == four(b + length - 4);
}

[[noreturn]] Q_NEVER_INLINE void throwNotSingleText()
{
    throw std::runtime_error("Element does not contain a single text node");
}

// The zero-terminated name equals stored; stops at the first difference.
bool sameName(const QByteArray &stored, const char *name)
{
    const char *s = stored.constData();
    for (qsizetype i = 0, n = stored.size(); i < n; ++i) {
        if (name[i] != s[i])
            return false;
    }
    return name[stored.size()] == '\0';
}

} // namespace

struct ResultDocument::Impl
{
    std::vector<Row> rows;
    std::vector<Field> fields;
    TextSliceStore texts;
    // The distinct field names of the document, as UTF-8 and as UTF-16; a field refers to
    // its name by position. The keys of nameIds view the names' own bytes, which stay put.
    std::vector<QByteArray> names;
    std::vector<QString> utf16Names;
    // The first sixteen bytes of each name, zeros after its end.
    struct alignas(16) NamePrefix
    {
        char bytes[16];
    };
    std::vector<NamePrefix> namePrefixes;
    std::unordered_map<std::string_view, std::uint32_t> nameIds;
    // Per name, the column it was last read from: most rows have their fields in the same
    // order.
    std::vector<std::uint32_t> lastColumn;
    // The column after the last one read: callers read the fields of a row in turn.
    std::uint32_t nextColumn = 0;

    void clear()
    {
        rows.clear();
        fields.clear();
        names.clear();
        utf16Names.clear();
        namePrefixes.clear();
        nameIds.clear();
        lastColumn.clear();
        nextColumn = 0;
        texts.reset(0);
    }

    std::uint32_t addName(std::string_view name)
    {
        const auto id = static_cast<std::uint32_t>(names.size());
        names.emplace_back(name.data(), static_cast<qsizetype>(name.size()));
        nameIds.emplace(std::string_view(names.back().constData(), name.size()), id);
        utf16Names.push_back(QString::fromUtf8(names.back()));
        NamePrefix prefix{};
        std::memcpy(prefix.bytes, name.data(), std::min(name.size(), sizeof prefix.bytes));
        namePrefixes.push_back(prefix);
        lastColumn.push_back(0);
        return id;
    }

    // The zero-terminated name, which lies in the parse buffer, is names[id].
    bool isName(std::uint32_t id, const char *name) const
    {
#ifdef RESULT_DOCUMENT_SSE2
        const qsizetype size = names[id].size();
        if (size < 16) {
            const __m128i given = _mm_loadu_si128(reinterpret_cast<const __m128i *>(name));
            const __m128i known = _mm_load_si128(reinterpret_cast<const __m128i *>(namePrefixes[id].bytes));
            const auto equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(given, known)));
            const unsigned wanted = (2u << size) - 1; // the name's bytes and the zero after them
            return (equal & wanted) == wanted;
        }
#endif
        return sameName(names[id], name);
    }

    // The name's position; the field at the same column of the row before usually has it.
    std::uint32_t nameOf(const char *name, const Row &previous, std::uint32_t column)
    {
        if (column < previous.count) {
            const std::uint32_t guess = fields[previous.first + column].name;
            if (isName(guess, name))
                return guess;
        }
        const auto found = nameIds.find(std::string_view(name));
        return found != nameIds.end() ? found->second : addName(name);
    }

    void read(pugi::xml_node top)
    {
        Row previous{0, 0};
        for (pugi::xml_node rowNode = top.first_child(); rowNode; rowNode = rowNode.next_sibling()) {
            if (rowNode.type() != pugi::node_element)
                continue;
            Row row{static_cast<std::uint32_t>(fields.size()), 0};
            std::uint64_t seen = 0; // names below 64 in the row so far
            for (pugi::xml_node child = rowNode.first_child(); child; child = child.next_sibling()) {
                // Text beside the fields (a row with mixed content) is a node without a name.
                const char *const name = child.name();
                if (!*name)
                    continue;
                Field field;
                field.name = nameOf(name, previous, row.count);
                if (field.name < 64) {
                    const std::uint64_t bit = std::uint64_t(1) << field.name;
                    field.shadowed = (seen & bit) != 0;
                    seen |= bit;
                } else {
                    for (std::uint32_t i = row.first; i < row.first + row.count && !field.shadowed; ++i)
                        field.shadowed = fields[i].name == field.name;
                }
                // The parser keeps the text of an element whose first content is text in
                // the element itself (see load); anything after it is a child node.
                const pugi::xml_node content = child.first_child();
                const char *text = child.value();
                if (*text) {
                    field.singleText = !content;
                } else if (content) {
                    field.singleText = !content.next_sibling() && content.type() == pugi::node_cdata;
                    text = content.value();
                }
                // An empty text may be the parser's own "" outside the buffer; any other lies
                // in the padded parse buffer.
                if (*text && !field.shadowed && field.singleText)
                    field.text = texts.addPadded(text);
                fields.push_back(field);
                ++row.count;
            }
            rows.push_back(row);
            previous = row;
        }
    }

    static constexpr std::uint32_t Missing = ~std::uint32_t(0);

    // The column of the first field of that name in the row. A column the service left
    // out (a null value) is Missing; it reads as empty, and an empty field of that name
    // joins the row so that every later read of the row sees the same field.
    Q_NEVER_INLINE std::uint32_t find(Row &row, const QString &name)
    {
        // Field names are short ASCII column names: the key needs no heap allocation.
        char small[64];
        QByteArray other;
        std::string_view key;
        const qsizetype length = name.size();
        bool ascii = length < qsizetype(sizeof small);
        for (qsizetype i = 0; ascii && i < length; ++i) {
            const char16_t c = name[i].unicode();
            ascii = c != 0 && c < 0x80;
            small[i] = static_cast<char>(c);
        }
        if (ascii) {
            key = std::string_view(small, static_cast<size_t>(length));
        } else {
            // Element names hold no zero character: a name holding one is compared up to it.
            other = name.toUtf8();
            key = std::string_view(other.constData());
        }
        const auto found = nameIds.find(key);
        if (found == nameIds.end()) {
            append(row, addName(key));
            return Missing;
        }
        const std::uint32_t id = found->second;
        const Field *const columns = fields.data() + row.first;
        std::uint32_t column = lastColumn[id];
        if (column < row.count && columns[column].name == id && !columns[column].shadowed)
            return column;
        for (column = 0; column < row.count; ++column) {
            if (columns[column].name == id)
                return column;
        }
        append(row, id);
        return Missing;
    }

    // An element appended to a row joins its list; the row's fields move to the end of
    // the list first unless they are there already.
    void append(Row &row, std::uint32_t name)
    {
        if (row.first + row.count != fields.size()) {
            const auto moved = static_cast<std::uint32_t>(fields.size());
            for (std::uint32_t i = 0; i < row.count; ++i)
                fields.push_back(fields[row.first + i]);
            row.first = moved;
        }
        Field added;
        added.name = name;
        added.text = {};
        fields.push_back(added);
        ++row.count;
    }
};

ResultDocument::ResultDocument() : d(std::make_unique<Impl>()) {}

ResultDocument::~ResultDocument() = default;

void ResultDocument::load(const QString &answer)
{
    d->clear();

    // The answer is read as GBK text: what GBK cannot hold reads as "?". The texts take the
    // trip through the GBK table as they are decoded (character references included), so
    // the markup is parsed as it came.
    size_t length = 0;
    char *const buffer = parseBuffer(answer, length);

    // parse_default drops text made only of whitespace, so the indentation between
    // elements creates no rows or fields; CDATA sections are kept as text. With
    // parse_embed_pcdata a field's text is stored in the field element itself rather than
    // in a node of its own, which spares the parser one node per field.
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer_inplace_own(
        buffer, length, pugi::parse_default | pugi::parse_embed_pcdata, pugi::encoding_utf8);
    if (!parsed) {
        throw std::runtime_error(
            QStringLiteral("The answer is not a well-formed XML document: %1 (at offset %2)")
                .arg(QString::fromUtf8(parsed.description()))
                .arg(parsed.offset)
                .toStdString());
    }
    // The parser accepts several elements side by side; a document has exactly one.
    const pugi::xml_node top = document.first_child();
    if (top.type() != pugi::node_element || top.next_sibling())
        throw std::runtime_error(
            "The answer is not a well-formed XML document: more than one document element");

    // Field texts are never longer than the answer they come from.
    d->texts.reset(static_cast<qsizetype>(length) + 1);
    try {
        d->read(top);
    } catch (...) {
        d->clear();
        throw;
    }
}

int ResultDocument::rowCount() const
{
    return static_cast<int>(d->rows.size());
}

void ResultDocument::checkRow(int row) const
{
    if (row < 0 || row >= rowCount())
        throw std::runtime_error(QStringLiteral("List index out of bounds (%1)").arg(row).toStdString());
}

QString ResultDocument::fieldText(int row, const QString &name)
{
    if (row < 0 || static_cast<size_t>(row) >= d->rows.size())
        checkRow(row); // throws
    Row &entry = d->rows[static_cast<size_t>(row)];

    // The first field of that exact name wins: a shadowed field never answers.
    std::uint32_t column = d->nextColumn;
    const Field *field = nullptr;
    if (column < entry.count) {
        field = d->fields.data() + entry.first + column;
        if (field->shadowed || !sameName(d->utf16Names[field->name], name))
            field = nullptr;
    }
    if (!field) {
        column = d->find(entry, name);
        if (column == Impl::Missing)
            return QString();
        field = d->fields.data() + entry.first + column;
    }
    d->lastColumn[field->name] = column;
    d->nextColumn = column + 1 < entry.count ? column + 1 : 0;
    if (!field->singleText)
        throwNotSingleText();
    return d->texts.text(field->text);
}
