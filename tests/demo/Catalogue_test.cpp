#include <gtest/gtest.h>

#include <set>

#include "Catalogue.h"
#include "DemoTestSupport.h"
#include "Pages.h"

namespace vantrel::demo {
namespace {

using testing::G;

TEST(DemoCatalogue, SameSeedGivesTheSameBytesAndAnotherSeedOtherItems) {
    const Catalogue a({.seed = 42}), b({.seed = 42}), c({.seed = 43});
    const Shop& shop = a.ShopOf(ShopKind::TaobaoAsync);
    EXPECT_EQ(pages::AsyncAnswer(a, shop, 2), pages::AsyncAnswer(b, b.ShopOf(ShopKind::TaobaoAsync), 2));
    for (std::size_t i = 0; i < a.Items().size(); ++i) {
        const Item& x = a.Items()[i];
        const Item& y = b.Items()[i];
        ASSERT_EQ(pages::TaobaoItemPage(a, x) + pages::PriceHistoryPage(x.id, &x) + pages::ItemHistoryAnswer(a, &x),
                  pages::TaobaoItemPage(b, y) + pages::PriceHistoryPage(y.id, &y) + pages::ItemHistoryAnswer(b, &y));
    }
    EXPECT_NE(a.Items()[0].id, c.Items()[0].id);
    EXPECT_NE(a.ShopOf(ShopKind::TmallMain).key, c.ShopOf(ShopKind::TmallMain).key);
}

TEST(DemoCatalogue, IdsAreUniqueTwelveDigitsAndFoundAgain) {
    for (const Options& options : {Options{}, Options{.seed = 9, .itemsPerShop = 10000, .pageSize = 20}}) {
        const Catalogue cat(options);
        std::set<std::string> seen;
        for (const Item& item : cat.Items()) {
            ASSERT_EQ(item.id.size(), 12u);
            ASSERT_EQ(item.id.find_first_not_of("0123456789"), std::string::npos);
            ASSERT_TRUE(seen.insert(item.id).second) << item.id;
            ASSERT_EQ(cat.FindItem(item.id), &item);
        }
        for (const std::string& id : cat.ForeignIds()) {
            EXPECT_TRUE(seen.insert(id).second) << id;
            EXPECT_EQ(cat.FindItem(id), nullptr);
        }
        EXPECT_EQ(cat.FindItem("123"), nullptr);
        EXPECT_EQ(cat.FindItem("5abcdefghijk"), nullptr);
    }
}

TEST(DemoCatalogue, LargeCatalogueHasFiveHundredPagesPerShopAndItsLastItemOnTheLastPage) {
    const Catalogue cat({.seed = 1, .itemsPerShop = 10000, .pageSize = 20});
    const Shop& shop = cat.ShopOf(ShopKind::TmallMain);
    ASSERT_EQ(shop.items.size(), 10000u);
    EXPECT_EQ(shop.PageCount(), 500);
    EXPECT_EQ(cat.ShopOf(ShopKind::TaobaoEmpty).items.size(), 0u);
    const std::string last = pages::AsyncAnswer(cat, shop, 500);
    EXPECT_NE(last.find(G("ui-page-s-len\\\">500/500<")), std::string::npos);
    std::vector<std::string> lastTwenty;
    for (std::size_t i = 9980; i < 10000; ++i) {
        lastTwenty.push_back(cat.ItemsOf(shop)[i]->id);
    }
    EXPECT_EQ(testing::LinkedIds(testing::Between(last, "ui-page-s-len", G("上一页</a>"))), lastTwenty);
}

// The default catalogue is the fixture of the other tests: every peculiarity must occur in it, on both markets.
TEST(DemoCatalogue, DefaultCatalogueHoldsEveryMissingMarkerAndHistoryStyle) {
    const Catalogue cat;
    for (bool tmall : {false, true}) {
        unsigned flags = 0;
        std::set<HistoryStyle> styles;
        bool allMissing = false;
        for (const Item& item : cat.Items()) {
            if (IsTmall(cat.Shops()[static_cast<std::size_t>(item.shop)].kind) != tmall) {
                continue;
            }
            if (item.missing != 0xFFu) {
                flags |= item.missing;
            } else {
                allMissing = true;
            }
            styles.insert(item.historyStyle);
        }
        SCOPED_TRACE(tmall ? "tmall" : "taobao");
        EXPECT_EQ(flags | (tmall ? unsigned{kNoServerTime} : 0u), 0xFFu);
        EXPECT_TRUE(allMissing || tmall);
        EXPECT_EQ(styles.size(), 5u);
    }
    EXPECT_TRUE(
        std::any_of(cat.Items().begin(), cat.Items().end(), [](const Item& i) { return i.lowestPrice == "'无'"; }));
    EXPECT_TRUE(std::any_of(cat.Items().begin(), cat.Items().end(),
                            [](const Item& i) { return i.listPrice.find(" - ") != std::string::npos; }));
}

// Listing times: the shown period is the seven days around the page's server time, seen from the listing time.
TEST(DemoCatalogue, ExpectedTimeCellsFollowTheListingCycle) {
    const Catalogue cat;
    int checked = 0;
    for (const Item& item : cat.Items()) {
        const ExpectedRow row = cat.Expected(item);
        const bool tmall = IsTmall(cat.Shops()[static_cast<std::size_t>(item.shop)].kind);
        if (!row.known[13] || row.cells[13].empty()) {
            continue;
        }
        if (tmall) {
            EXPECT_EQ(row.cells[12], "-");
            EXPECT_EQ(row.cells[13], TimeTextUtc(item.listedMs / 1000));
            EXPECT_EQ(row.cells[14], TimeTextUtc(item.listedMs / 1000 + 604800));
        } else {
            const std::string now = TimeTextUtc(item.nowMs / 1000);
            const std::int64_t listed = item.listedMs / 1000 + 28800;
            EXPECT_EQ(row.cells[12], TimeTextUtc(listed));
            EXPECT_LT(row.cells[13], now) << item.id;
            EXPECT_GE(row.cells[14], now) << item.id;
            // Both ends lie a whole number of weeks after the listing time.
            bool found = false;
            for (std::int64_t e = listed; e <= listed + 52 * 604800 && !found; e += 604800) {
                found = TimeTextUtc(e) == row.cells[14] && TimeTextUtc(e - 604800) == row.cells[13];
            }
            EXPECT_TRUE(found) << item.id;
        }
        ++checked;
    }
    EXPECT_GT(checked, 100);
    EXPECT_EQ(TimeTextUtc(1451606400), "2016-01-01 00:00:00");
    EXPECT_EQ(TimeTextUtc(1457161689), "2016-03-05 07:08:09");
}

TEST(DemoCatalogue, ExpectedLinesFollowTheShopKind) {
    const Catalogue cat;
    const struct {
        ShopKind kind;
        std::string prefix;
    } cases[] = {
        {ShopKind::TaobaoAsync, ""},
        {ShopKind::TaobaoSearchPageNum, ""},
        {ShopKind::TmallMain, "http://detail.tmall.com/item.htm?id="},
        {ShopKind::TmallGlobal, "http://detail.tmall.hk/hk/item.htm?id="},
        {ShopKind::TmallRedirect, "http://detail.tmall.com/item.htm?id="},
    };
    for (const auto& c : cases) {
        const Shop& shop = cat.ShopOf(c.kind);
        const auto lines = cat.ExpectedLines(shop);
        ASSERT_EQ(lines.size(), shop.items.size());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), c.prefix + cat.ItemsOf(shop).front()->id);
        EXPECT_EQ(
            cat.Expected(*cat.ItemsOf(shop).front()).cells[9],
            (c.prefix.empty() ? "https://item.taobao.com/item.htm?id=" : "https://detail.tmall.com/item.htm?id=") +
                cat.ItemsOf(shop).front()->id);
    }
}

}  // namespace
}  // namespace vantrel::demo
