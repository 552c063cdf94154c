#include "DemoTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace vantrel::demo::testing {

const Item& FindItemOf(const Catalogue& cat, ShopKind kind, const std::function<bool(const Item&)>& pred) {
    for (const Item* item : cat.ItemsOf(cat.ShopOf(kind))) {
        if (pred(*item)) {
            return *item;
        }
    }
    ADD_FAILURE() << "no such item in shop " << ShopKindName(kind);
    throw std::runtime_error("no such item");
}

std::string Between(std::string_view text, std::string_view from, std::string_view to) {
    const std::size_t a = text.find(from);
    if (a == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = text.substr(a + from.size());
    return std::string(rest.substr(0, rest.find(to)));
}

std::vector<std::string> LinkedIds(std::string_view text) {
    std::vector<std::string> ids;
    const std::string_view mark = "item.htm?id=";
    for (std::size_t p = text.find(mark); p != std::string_view::npos; p = text.find(mark, p + 1)) {
        const std::string_view digits = text.substr(p + mark.size(), 12);
        if (digits.size() == 12 && digits.find_first_not_of("0123456789") == std::string_view::npos &&
            std::find(ids.begin(), ids.end(), digits) == ids.end()) {
            ids.emplace_back(digits);
        }
    }
    return ids;
}

}  // namespace vantrel::demo::testing
