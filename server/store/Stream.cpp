#include "store/Stream.h"

#include <stdexcept>

namespace {

const std::vector<Stream> streams = {
    {"stock",
     "Tuijiangupiao",
     "gptj",
     false,
     {{"gupiaodaima", "--code", true},
      {"jg", "--name", true},
      {"czfs", "--op", true},
      {"czly", "--reason", true},
      {"nowtime", "--time", false}}},
    {"insider",
     "smnc",
     "smnc",
     true,
     {{"bt", "--title", true}, {"nr", "--body", false}, {"nowtime", "--time", false}}},
    {"secret",
     "smjm",
     "smjm",
     true,
     {{"bt", "--title", true}, {"nr", "--body", false}, {"nowtime", "--time", false}}},
    {"news",
     "spzx",
     "spzx",
     false,
     {{"zxlx", "--type", true}, {"zxnr", "--text", true}, {"nowtime", "--time", false}}},
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
