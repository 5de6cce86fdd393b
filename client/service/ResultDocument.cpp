#include "ResultDocument.h"

#include "GbkCodePage.h"

#include <pugixml.hpp>

#include <cstring>
#include <stdexcept>
#include <vector>

struct ResultDocument::Impl
{
    pugi::xml_document document;
    // Rows by position: the parser links siblings in a list, and the callers walk every
    // row by index, which must not cost a walk from the first row each time.
    std::vector<pugi::xml_node> rows;
};

ResultDocument::ResultDocument() : d(std::make_unique<Impl>()) {}

ResultDocument::~ResultDocument() = default;

void ResultDocument::load(const QString &answer)
{
    d->rows.clear();
    d->document.reset();

    // The answer is read as GBK text: what GBK cannot hold reads as "?". The table trip
    // yields UTF-8 for the parser at once, instead of converting to GBK bytes and back.
    const QByteArray source = GbkCodePage::roundTripToUtf8(answer);
    void *buffer = pugi::get_memory_allocation_function()(static_cast<size_t>(source.size()) + 1);
    if (!buffer)
        throw std::bad_alloc();
    std::memcpy(buffer, source.constData(), static_cast<size_t>(source.size()));

    // parse_default drops text made only of whitespace, so the indentation between
    // elements creates no rows or fields; CDATA sections are kept as text.
    const pugi::xml_parse_result parsed = d->document.load_buffer_inplace_own(
        buffer, static_cast<size_t>(source.size()), pugi::parse_default, pugi::encoding_utf8);
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
            d->rows.push_back(row);
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
    pugi::xml_node rowNode = d->rows[static_cast<size_t>(row)];

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

    pugi::xml_node field;
    for (pugi::xml_node child = rowNode.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && std::strcmp(child.name(), key) == 0) {
            field = child;
            break;
        }
    }
    if (!field) {
        // A column the service left out (a null value) reads as empty; keeping the empty
        // element lets every later read of the row see the same field.
        rowNode.append_child(key);
        return QString();
    }

    const pugi::xml_node content = field.first_child();
    if (!content)
        return QString();
    if (content.next_sibling() || (content.type() != pugi::node_pcdata && content.type() != pugi::node_cdata))
        throw std::runtime_error("Element does not contain a single text node");
    return QString::fromUtf8(content.value());
}
