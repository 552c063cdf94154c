// Shared helpers of the demo marketplace tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Catalogue.h"
#include "web/Encoding.h"

namespace vantrel::demo::testing {

inline std::string G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

// The first item of the first shop of `kind` that satisfies `pred`; fails the test when there is none.
const Item& FindItemOf(const Catalogue& cat, ShopKind kind, const std::function<bool(const Item&)>& pred);

// Text after the first `from` up to the next `to` (to the end when `to` is absent); empty when `from` is absent.
std::string Between(std::string_view text, std::string_view from, std::string_view to);

// 12-digit ids following "item.htm?id=" in `text`, first occurrences in order.
std::vector<std::string> LinkedIds(std::string_view text);

}  // namespace vantrel::demo::testing
