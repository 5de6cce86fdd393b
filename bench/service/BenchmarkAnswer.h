#pragma once

#include <QString>

// A large hqsametable answer (10,000 rows of the seven fields of an alert), shaped as the
// service serialises a data set: two blanks per level, CR LF line ends. Built once.
const QString &benchmarkAnswer();

// The names of the seven fields of each row, in document order.
const QString *benchmarkFieldNames();
constexpr int BenchmarkFieldCount = 7;
