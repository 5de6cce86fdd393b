#pragma once

#include "store/Store.h"
#include "store/Stream.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Publishing and revising items for an operator (command line or console), with the checks
// that keep an item from silently reaching nobody: the level must be one subscribers can
// have and, while lists are tiered by level, some subscriber must have it.
class PublishDesk
{
public:
    using Columns = std::vector<std::pair<std::string, std::string>>;

    // A refused item: the reason in English for the command line and in Chinese for the console.
    class Refusal : public std::runtime_error
    {
    public:
        Refusal(const std::string &english, std::string chinese)
            : std::runtime_error(english), chinese_(std::move(chinese))
        {
        }
        const std::string &chinese() const { return chinese_; }

    private:
        std::string chinese_;
    };

    explicit PublishDesk(Store &store) : store_(store) {}

    // Throws Refusal for a required field left out or a level nobody would see; returns the id.
    std::int64_t publish(const Stream &stream, const Columns &columns, int level);
    // Throws Refusal for a level nobody would see, std::runtime_error for a missing item.
    void revise(const Stream &stream, std::int64_t id, const Columns &columns, std::optional<int> level);

    // Throws Refusal unless level is one that exists.
    static void checkLevelExists(long long level);

private:
    void checkSomeoneSees(int level);

    Store &store_;
};
