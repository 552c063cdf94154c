#include "analysis/ItemIdList.h"

#include "analysis/TextOps.h"

namespace vantrel {

bool ItemIdList::AppendLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    auto [it, added] = lines_.emplace(line);
    if (!added) {
        return false;
    }
    text_.append(line);
    text_.append("\r\n");
    ++count_;
    return true;
}

bool ItemIdList::ContainsLine(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return lines_.count(std::string(line)) != 0;
}

std::string ItemIdList::Text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

std::size_t ItemIdList::LineCount() const {
    std::lock_guard lock(mutex_);
    return count_;
}

void ItemIdList::Clear() {
    std::lock_guard lock(mutex_);
    text_.clear();
    lines_.clear();
    count_ = 0;
}

std::vector<std::string> ItemIdList::SplitLines(std::string_view text) {
    // CR LF is matched at GBK character starts only, like every other marker search.
    return text::Split(text, "\r\n");
}

}  // namespace vantrel
