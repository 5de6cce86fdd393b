#include "ResultDocument.h"

#include "GbkCodePage.h"
#include "TextSliceStore.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

struct Field
{
    const char *name;
    pugi::xml_node node;
};

// The fields of a row, indexed the first time the row is read: callers read several
// fields of every row, and each lookup then compares names in memory instead of asking
// the parser about each sibling.
struct Row
{
    pugi::xml_node node;
    std::uint32_t first = 0; // into Impl::fields
    std::uint32_t count = 0;
    bool indexed = false;
};

bool sameName(const char *a, const char *b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

} // namespace

struct ResultDocument::Impl
{
    pugi::xml_document document;
    // Rows by position: the parser links siblings in a list, and the callers walk every
    // row by index, which must not cost a walk from the first row each time.
    std::vector<Row> rows;
    std::vector<Field> fields;
    TextSliceStore texts;

    void index(Row &row)
    {
        row.first = static_cast<std::uint32_t>(fields.size());
        for (pugi::xml_node child = row.node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element)
                fields.push_back({child.name(), child});
        }
        row.count = static_cast<std::uint32_t>(fields.size()) - row.first;
        row.indexed = true;
    }

    // An element appended to a row joins its index; the row's entries move to the end of
    // the list first unless they are there already.
    void append(Row &row, pugi::xml_node added)
    {
        if (row.first + row.count != fields.size()) {
            const std::uint32_t moved = static_cast<std::uint32_t>(fields.size());
            for (std::uint32_t i = 0; i < row.count; ++i)
                fields.push_back(fields[row.first + i]);
            row.first = moved;
        }
        fields.push_back({added.name(), added});
        ++row.count;
    }
};

ResultDocument::ResultDocument() : d(std::make_unique<Impl>()) {}

ResultDocument::~ResultDocument() = default;

void ResultDocument::load(const QString &answer)
{
    d->rows.clear();
    d->fields.clear();
    d->document.reset();
    // Field texts are never longer than the answer they come from.
    d->texts.reset(answer.size());

    // The answer is read as GBK text: what GBK cannot hold reads as "?". Texts reach the
    // caller only through fieldText, which takes every text through the GBK table as it
    // decodes it (character references included), so the markup is parsed as it came.
    const QByteArray utf8 = answer.toUtf8();
    const size_t length = static_cast<size_t>(utf8.size());
    void *buffer = pugi::get_memory_allocation_function()(length + 1);
    if (!buffer)
        throw std::bad_alloc();
    std::memcpy(buffer, utf8.constData(), length + 1);

    // parse_default drops text made only of whitespace, so the indentation between
    // elements creates no rows or fields; CDATA sections are kept as text. With
    // parse_embed_pcdata a field's text is stored in the field element itself rather than
    // in a node of its own, which spares the parser one node per field.
    const pugi::xml_parse_result parsed = d->document.load_buffer_inplace_own(
        buffer, length, pugi::parse_default | pugi::parse_embed_pcdata, pugi::encoding_utf8);
    if (!parsed) {
        d->document.reset();
        throw std::runtime_error(
            QStringLiteral("The answer is not a well-formed XML document: %1 (at offset %2)")
                .arg(QString::fromUtf8(parsed.description()))
                .arg(parsed.offset)
                .toStdString());
    }
    // The parser accepts several elements side by side; a document has exactly one.
    const pugi::xml_node top = d->document.first_child();
    if (top.type() != pugi::node_element || top.next_sibling()) {
        d->document.reset();
        throw std::runtime_error(
            "The answer is not a well-formed XML document: more than one document element");
    }

    for (pugi::xml_node row = d->document.document_element().first_child(); row; row = row.next_sibling()) {
        if (row.type() == pugi::node_element)
            d->rows.push_back({row});
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
    checkRow(row);
    Row &entry = d->rows[static_cast<size_t>(row)];
    if (!entry.indexed)
        d->index(entry);

    // Field names are short ASCII column names: compare them without a heap allocation.
    char small[64];
    QByteArray other;
    const char *key = small;
    const qsizetype length = name.size();
    bool ascii = length < qsizetype(sizeof small);
    for (qsizetype i = 0; ascii && i < length; ++i) {
        const char16_t c = name[i].unicode();
        ascii = c != 0 && c < 0x80;
        small[i] = static_cast<char>(c);
    }
    if (ascii) {
        small[length] = '\0';
    } else {
        other = name.toUtf8();
        key = other.constData();
    }

    // The first field of that exact name wins.
    pugi::xml_node field;
    for (const Field *f = d->fields.data() + entry.first, *end = f + entry.count; f != end; ++f) {
        if (f->name[0] == key[0] && sameName(f->name, key)) {
            field = f->node;
            break;
        }
    }
    if (!field) {
        // A column the service left out (a null value) reads as empty; keeping the empty
        // element lets every later read of the row see the same field.
        d->append(entry, entry.node.append_child(key));
        return QString();
    }

    // The parser keeps the text of an element whose first content is text in the element
    // itself (see load); anything after it is a child node.
    const pugi::xml_node content = field.first_child();
    if (const char *text = field.value(); *text) {
        if (content)
            throw std::runtime_error("Element does not contain a single text node");
        return d->texts.take(text);
    }
    if (!content)
        return QString();
    if (content.next_sibling() || content.type() != pugi::node_cdata)
        throw std::runtime_error("Element does not contain a single text node");
    return d->texts.take(content.value());
}
