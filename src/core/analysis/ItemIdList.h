// The queue between crawlers and analysers: lines ended by CR LF, appended once each.
// Safe to use from several threads.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vantrel {

class ItemIdList {
public:
    // Appends line + CR LF unless an identical line is already listed; returns whether it was added.
    bool AppendLine(std::string_view line);
    // Whole-line test, O(1).
    bool ContainsLine(std::string_view line) const;
    // The whole text, every line ended by CR LF.
    std::string Text() const;
    std::size_t LineCount() const;
    void Clear();

    // Splits a text at CR LF: a trailing empty piece after the last CR LF is dropped, empty lines in the
    // middle stay. A text without CR LF is one line; the empty text gives none.
    static std::vector<std::string> SplitLines(std::string_view text);

private:
    mutable std::mutex mutex_;
    std::string text_;
    std::unordered_set<std::string> lines_;
    std::size_t count_ = 0;
};

}  // namespace vantrel
