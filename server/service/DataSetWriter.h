#pragma once

#include "store/DatabaseConnection.h"

#include <string>
#include <vector>

// Serialises rows as a .NET data set does: <NewDataSet>, one <Table> per row, one element
// per non-null column, two blanks of indentation per level, CR LF line ends, no XML
// declaration. Zero rows is <NewDataSet />. Date-time columns are written in XML Schema
// form with the zone offset, boolean columns as true/false.
class DataSetWriter
{
public:
    static std::string write(const std::vector<SqlRow> &rows);
    static std::string fieldText(const SqlField &field);
};
