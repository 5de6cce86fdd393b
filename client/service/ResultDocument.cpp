#include "ResultDocument.h"

#include "GbkCodePage.h"
#include "XmlReference.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// A field as the load found it: the callers read most fields of every row, so every text
// is decoded once, in one pass over the parsed document, into one buffer of the document,
// and the parsed document is not kept.
struct Field
{
    std::uint32_t name;          // into Impl::names
    std::uint32_t textBegin = 0; // into Impl::texts
    std::uint32_t textLength = 0;
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

[[noreturn]] void notWellFormed(const QString &why)
{
    throw std::runtime_error(u"The answer is not a well-formed XML document: %1"_qs.arg(why).toStdString());
}

[[noreturn]] Q_NEVER_INLINE void throwNotSingleText()
{
    throw std::runtime_error("Element does not contain a single text node");
}

// No XML document holds the character 0, and a text cut at it would pass on silently
// as something the service never sent.
void refuseRawNul(const QByteArray &utf8)
{
    if (const void *nul = std::memchr(utf8.constData(), 0, static_cast<size_t>(utf8.size())))
        notWellFormed(u"it holds the character 0 (NUL) at offset %1"_qs.arg(static_cast<const char *>(nul) -
                                                                            utf8.constData()));
}

enum class Decoded { Done, NoRoom, Nul };

// Decodes a zero-terminated text of the parsed answer into out, up to limit, references
// (which the parser left alone, see ResultDocument::load) expanded in the same pass.
Decoded decodeText(const char *text, bool expandReferences, char16_t *&out, const char16_t *limit)
{
    for (;;) {
        if (!GbkCodePage::fromUtf8(text, out, limit, expandReferences))
            return Decoded::NoRoom;
        if (*text == '\0')
            return Decoded::Done;
        if (out == limit)
            return Decoded::NoRoom;
        const char32_t character = XmlReference::read(text);
        if (character == 0)
            return Decoded::Nul;
        if (character == XmlReference::None) {
            *out++ = u'&';
            ++text;
        } else {
            *out++ = GbkCodePage::roundTrip(character);
        }
    }
}

// name is certainly the stored name: the same UTF-16 as the name's valid UTF-8, which
// holds neither zero characters nor lone surrogates. Any other name is left to the exact
// comparison of UTF-8 keys.
bool sameName(const QString &stored, const QString &name)
{
    const qsizetype length = name.size();
    if (stored.size() != length)
        return false;
    // Column names are a few characters long: a loop beats a call.
    const QChar *a = stored.constData();
    const QChar *b = name.constData();
    for (qsizetype i = 0; i < length; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
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
    // The texts of all fields, one after another; a read copies its field's part. Its size
    // is the room for texts, kept from one load to the next; textsUsed is the part in use.
    std::vector<char16_t> texts;
    size_t textsUsed = 0;
    // The distinct field names of the document, as UTF-8 and as UTF-16; a field refers to
    // its name by position. The keys of nameIds view the names' own bytes, which stay put.
    std::vector<QByteArray> names;
    std::vector<QString> utf16Names;
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
        textsUsed = 0;
        names.clear();
        utf16Names.clear();
        nameIds.clear();
        lastColumn.clear();
        nextColumn = 0;
    }

    // The room for texts grows as needed; a document that needs far less than an earlier
    // one does not keep that one's room.
    void prepareTexts(size_t answerBytes)
    {
        if (texts.size() > 4 * answerBytes + 65536)
            texts = {};
        if (texts.empty())
            texts.resize(std::max<size_t>(answerBytes / 2, 4096));
    }

    std::uint32_t addName(std::string_view name)
    {
        const auto id = static_cast<std::uint32_t>(names.size());
        names.emplace_back(name.data(), static_cast<qsizetype>(name.size()));
        nameIds.emplace(std::string_view(names.back().constData(), name.size()), id);
        utf16Names.push_back(QString::fromUtf8(names.back()));
        lastColumn.push_back(0);
        return id;
    }

    // The name's position; the field at the same column of the row before usually has it.
    std::uint32_t nameOf(const char *name, const Row &previous, std::uint32_t column)
    {
        if (column < previous.count) {
            const std::uint32_t guess = fields[previous.first + column].name;
            if (sameName(names[guess], name))
                return guess;
        }
        const auto found = nameIds.find(std::string_view(name));
        return found != nameIds.end() ? found->second : addName(name);
    }

    // Decodes the text at the end of texts, with more room whenever it does not fit.
    void storeText(Field &field, const char *text, bool expandReferences, std::uint32_t row)
    {
        for (;;) {
            char16_t *const begin = texts.data() + textsUsed;
            char16_t *end = begin;
            switch (decodeText(text, expandReferences, end, texts.data() + texts.size())) {
            case Decoded::Done:
                field.textBegin = static_cast<std::uint32_t>(textsUsed);
                field.textLength = static_cast<std::uint32_t>(end - begin);
                textsUsed += field.textLength;
                return;
            case Decoded::Nul:
                notWellFormed(u"the field %1 of row %2 holds the character 0 (NUL)"_qs.arg(
                    utf16Names[field.name], QString::number(row)));
            case Decoded::NoRoom:
                texts.resize(2 * texts.size());
                break;
            }
        }
    }

    // Whether the field is the second of its name in the row that starts at first.
    bool isShadowed(const Field &field, const Row &row, std::uint64_t &seen) const
    {
        if (field.name < 64) {
            const std::uint64_t bit = std::uint64_t(1) << field.name;
            const bool shadowed = (seen & bit) != 0;
            seen |= bit;
            return shadowed;
        }
        for (std::uint32_t i = row.first; i < row.first + row.count; ++i) {
            if (fields[i].name == field.name)
                return true;
        }
        return false;
    }

    void readField(pugi::xml_node element, const char *name, Row &row, const Row &previous,
                   std::uint64_t &seen)
    {
        Field field;
        field.name = nameOf(name, previous, row.count);
        field.shadowed = isShadowed(field, row, seen);
        // The parser keeps the text of an element whose first content is text in the
        // element itself (see load); anything after it is a child node.
        const pugi::xml_node content = element.first_child();
        const char *text = element.value();
        bool expandReferences = true;
        if (*text) {
            field.singleText = !content;
        } else if (content) {
            field.singleText = !content.next_sibling() && content.type() == pugi::node_cdata;
            text = content.value();
            expandReferences = false; // a CDATA section holds no references
        }
        if (*text && !field.shadowed && field.singleText)
            storeText(field, text, expandReferences, static_cast<std::uint32_t>(rows.size()));
        fields.push_back(field);
        ++row.count;
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
                if (*name)
                    readField(child, name, row, previous, seen);
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
    QByteArray utf8 = answer.toUtf8();
    refuseRawNul(utf8);
    // Positions in the texts are 32-bit; no answer comes near that (the transport stops at
    // 32 MiB).
    if (utf8.size() >= std::numeric_limits<std::int32_t>::max())
        notWellFormed(u"it is too large"_qs);

    // Whitespace-only text is dropped, so the indentation between elements creates no rows
    // or fields; CDATA sections are kept as text. References are left in the texts, to be
    // expanded as they are decoded: a reference to the character 0 must refuse the
    // answer, not cut the text. With parse_embed_pcdata a field's text is stored in the
    // field element itself rather than in a node of its own, which spares the parser one
    // node per field. The parsed document points into utf8, which outlives it.
    constexpr unsigned options = pugi::parse_cdata | pugi::parse_eol | pugi::parse_embed_pcdata;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer_inplace(
        utf8.data(), static_cast<size_t>(utf8.size()), options, pugi::encoding_utf8);
    if (!parsed)
        notWellFormed(
            u"%1 (at offset %2)"_qs.arg(QString::fromUtf8(parsed.description())).arg(parsed.offset));
    // The parser accepts several elements side by side; a document has exactly one.
    const pugi::xml_node top = document.first_child();
    if (top.type() != pugi::node_element || top.next_sibling())
        notWellFormed(u"more than one document element"_qs);

    d->prepareTexts(static_cast<size_t>(utf8.size()));
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
    if (field->textLength == 0)
        return QString();
    // A copy of its own: the text stays valid whatever happens to the document later.
    return QString(reinterpret_cast<const QChar *>(d->texts.data() + field->textBegin),
                   static_cast<qsizetype>(field->textLength));
}
