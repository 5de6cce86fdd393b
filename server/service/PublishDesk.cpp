#include "service/PublishDesk.h"

#include <algorithm>

void PublishDesk::checkLevelExists(long long level)
{
    if (!Stream::isLevel(level))
        throw Refusal("no level " + std::to_string(level) + ": levels are " +
                          std::to_string(Stream::firstLevel) + " to " + std::to_string(Stream::publicLevel) +
                          " (" + std::to_string(Stream::publicLevel) + " is public)",
                      "没有等级 " + std::to_string(level) + "：等级为 " + std::to_string(Stream::firstLevel) +
                          " 至 " + std::to_string(Stream::publicLevel) + "（" +
                          std::to_string(Stream::publicLevel) + " 为公开）");
}

void PublishDesk::checkSomeoneSees(int level)
{
    checkLevelExists(level);
    if (level == Stream::publicLevel)
        return;
    bool tiered = store_.with([&](DatabaseConnection &c) { return store_.tieringOn(c); });
    if (tiered && store_.subscribersAtLevel(level) == 0)
        throw Refusal("no subscriber has level " + std::to_string(level) +
                          ": the item would reach nobody (level " + std::to_string(Stream::publicLevel) +
                          " reaches everyone)",
                      "没有用户的等级为 " + std::to_string(level) + "，这条信息谁也收不到（等级 " +
                          std::to_string(Stream::publicLevel) + " 所有人可见）");
}

std::int64_t PublishDesk::publish(const Stream &stream, const Columns &columns, int level)
{
    for (const Stream::Column &column : stream.columns) {
        // Present is enough: an empty text is the operator's choice.
        bool given = std::any_of(columns.begin(), columns.end(),
                                 [&](const auto &field) { return field.first == column.name; });
        if (column.required && !given)
            throw Refusal(std::string("missing ") + column.name, std::string("缺少必填项 ") + column.name);
    }
    checkSomeoneSees(level);
    return store_.publish(stream.table, columns, level);
}

void PublishDesk::revise(const Stream &stream, std::int64_t id, const Columns &columns,
                         std::optional<int> level)
{
    if (level)
        checkSomeoneSees(*level);
    store_.revise(stream.table, id, columns, level);
}
