#include "service/DataSetWriter.h"

#include "soap/XmlText.h"
#include "store/DateTimeText.h"

std::string DataSetWriter::fieldText(const SqlField &field)
{
    if (field.declaredType == "BOOLEAN" && std::holds_alternative<std::int64_t>(field.value))
        return std::get<std::int64_t>(field.value) != 0 ? "true" : "false";
    if (field.declaredType == "DATETIME" && std::holds_alternative<std::string>(field.value))
        return DateTimeText::toXsd(std::get<std::string>(field.value));
    return sqlValueText(field.value);
}

std::string DataSetWriter::write(const std::vector<SqlRow> &rows)
{
    if (rows.empty())
        return "<NewDataSet />";
    std::string out = "<NewDataSet>\r\n";
    for (const SqlRow &row : rows) {
        out += "  <Table>\r\n";
        for (const SqlField &field : row) {
            if (std::holds_alternative<std::monostate>(field.value))
                continue;
            std::string text = fieldText(field);
            if (text.empty())
                out += "    <" + field.name + " />\r\n";
            else
                out += "    <" + field.name + ">" + XmlText::escape(text) + "</" + field.name + ">\r\n";
        }
        out += "  </Table>\r\n";
    }
    out += "</NewDataSet>";
    return out;
}
