// Instruction counts of the same work as bench_ResultDocument, for callgrind: times vary
// with the neighbours on a shared machine, instruction counts hardly do. Run it through
// count-instructions (next to this file), which counts only inside the two measure
// functions below and prints their ratio.
//   usage: instructions_ResultDocument [LOADS]

#include "BenchmarkAnswer.h"
#include "ResultDocument.h"

#include <pugixml.hpp>

#include <cstdio>
#include <cstdlib>

namespace {

// pugixml alone on the answer's UTF-8, as a caller that wanted nothing but the parse.
Q_NEVER_INLINE size_t measureParse(const QByteArray &bytes, int loads)
{
    size_t nodes = 0;
    pugi::xml_document document;
    for (int i = 0; i < loads; ++i) {
        document.load_buffer(bytes.constData(), size_t(bytes.size()), pugi::parse_default,
                             pugi::encoding_utf8);
        nodes += document.first_child() ? 1 : 0;
    }
    return nodes;
}

// A load, then every field of every row read, as the alert lists do.
Q_NEVER_INLINE qsizetype measureDocument(ResultDocument &document, const QString &answer, int loads)
{
    const QString *const names = benchmarkFieldNames();
    qsizetype characters = 0;
    for (int i = 0; i < loads; ++i) {
        document.load(answer);
        for (int row = 0; row < document.rowCount(); ++row) {
            for (int field = 0; field < BenchmarkFieldCount; ++field)
                characters += document.fieldText(row, names[field]).size();
        }
    }
    return characters;
}

} // namespace

int main(int argc, char **argv)
{
    const int loads = argc > 1 ? std::atoi(argv[1]) : 5;
    const QString &answer = benchmarkAnswer();
    const QByteArray bytes = answer.toUtf8();
    // A warm-up of each outside the counted functions: the GBK table is built on first use
    // and the allocator grows its heap once.
    ResultDocument document;
    document.load(answer);
    measureDocument(document, answer, 0);
    const size_t nodes = measureParse(bytes, loads);
    const qsizetype characters = measureDocument(document, answer, loads);
    std::printf("%d loads of %lld bytes: %zu parses, %lld characters read\n", loads,
                static_cast<long long>(bytes.size()), nodes, static_cast<long long>(characters));
    return 0;
}
