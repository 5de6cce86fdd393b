#pragma once

#include <QString>
#include <memory>

// An XML answer of hqSys_pz, hqdlyhxx or hqsametable read as rows (children of the
// document element) and fields (children of a row, by exact element name).
// Errors are thrown as std::runtime_error with the UTF-8 message.
class ResultDocument
{
public:
    ResultDocument();
    ~ResultDocument();
    ResultDocument(const ResultDocument &) = delete;
    ResultDocument &operator=(const ResultDocument &) = delete;

    // Replaces the current document. Characters outside GBK read back as "?". An answer
    // that is not well-formed XML, or whose field texts hold the character 0, is refused
    // with an error and leaves an empty document.
    void load(const QString &answer);

    int rowCount() const;
    // Throws "List index out of bounds (%d)" for an index outside 0..rowCount()-1.
    void checkRow(int row) const;
    // Text of the named field of the row (checked as by checkRow); a missing field reads
    // empty and is added to the row; element content throws
    // "Element does not contain a single text node".
    QString fieldText(int row, const QString &name);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
