#include "store/Stream.h"

#include <stdexcept>

namespace {

const std::vector<Stream> streams = {
    {"stock",
     "Tuijiangupiao",
     "gptj",
     false,
     {{"gupiaodaima", true}, {"jg", true}, {"czfs", true}, {"czly", true}, {"nowtime", false}}},
    {"insider", "smnc", "smnc", true, {{"bt", true}, {"nr", false}, {"nowtime", false}}},
    {"secret", "smjm", "smjm", true, {{"bt", true}, {"nr", false}, {"nowtime", false}}},
    {"news", "spzx", "spzx", false, {{"zxlx", true}, {"zxnr", true}, {"nowtime", false}}},
};

} // namespace

const std::vector<Stream> &Stream::all()
{
    return streams;
}

const Stream &Stream::ofTable(const std::string &table)
{
    for (const Stream &stream : streams)
        if (table == stream.table)
            return stream;
    throw std::runtime_error("unknown stream table " + table);
}

const Stream *Stream::named(const std::string &word)
{
    for (const Stream &stream : streams)
        if (word == stream.word)
            return &stream;
    return nullptr;
}

bool Stream::hasColumn(const std::string &name) const
{
    for (const Column &column : columns)
        if (name == column.name)
            return true;
    return false;
}

std::string Stream::visibleTo(const std::string &column, const std::string &mark)
{
    return column + "=" + mark + " OR " + column + "=" + std::to_string(publicLevel);
}
