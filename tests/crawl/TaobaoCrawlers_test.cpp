#include <gtest/gtest.h>

#include "crawl/FakeRunHost.h"
#include "run/RunController.h"
#include "web/ShopCrawlers.h"

namespace vantrel {
namespace {

using fake::FakeRunHost;
using fake::G;

const std::string kShop = "http://shop1.taobao.com";
const std::string kBase = kShop + "/i/asynSearch.htm?path=/search.htm&search=y&pageNo=1&mid=w-55-0";

std::string BaseFor(int n) {
    return kShop + "/i/asynSearch.htm?path=/search.htm&search=y&pageNo=" + std::to_string(n) + "&mid=w-55-0";
}

// An asynchronous listing answer: escaped quotes, the pager, items between the two next-page links.
std::string AsynPage(const std::string& pager, const std::vector<std::string>& ids) {
    std::string s = "<div class=\\\"pagination\\\"><b class=\\\"page-info\\\">" + pager + "</b>";
    s += "<a href=\\\"//shop1.taobao.com/i/x?item.htm?id=999\\\">" + G(">下一页</a>") + "</div>";
    for (const auto& id : ids) {
        s += "<dl><a href=\\\"//item.taobao.com/item.htm?id=" + id + "\\\" class=\\\"item-name\\\">x</a></dl>\r\n";
    }
    s += "<a href=\\\"//shop1.taobao.com/i/y\\\"" + G(">下一页</a>") +
         "<a href=\\\"//item.taobao.com/item.htm?id=888\\\">";
    return s;
}

void ShopHost(FakeRunHost& h) {
    h.shop = kShop;
    h.state.SetListingPageText("<a href=//shop1.taobao.com/i/asynSearch.htm?mid=w-55-0&wid=1>x</a>");
}

TEST(TaobaoShopCrawler, PagerThreeOfTwelveReadsTwelvePages) {
    FakeRunHost h;
    ShopHost(h);
    h.Serve(kBase, AsynPage("3/12", {"101"}));
    TaobaoShopCrawler(h);
    ASSERT_EQ(h.fetched.size(), 12u);
    EXPECT_EQ(h.fetched[0], kBase);
    for (int n = 2; n <= 12; ++n) {
        EXPECT_EQ(h.fetched[static_cast<std::size_t>(n - 1)], BaseFor(n));
    }
    EXPECT_EQ(h.fetched[4], kShop + "/i/asynSearch.htm?path=/search.htm&search=y&pageNo=5&mid=w-55-0");
    EXPECT_EQ(h.armAnalysis, 1);
    EXPECT_TRUE(h.finished.empty());
    EXPECT_TRUE(h.pauses.empty());  // back to back
    ASSERT_EQ(h.progress.size(), 12u);
    EXPECT_EQ(h.progress[4].n, 5);
    EXPECT_EQ(h.progress[4].count, 12);
    EXPECT_EQ(h.progress[4].stage, Stage::Crawl);
}

TEST(TaobaoShopCrawler, UnreadableOrZeroPagerGivesOnePage) {
    for (const char* pager : {"3/abc", "0/0", "", "3/-4"}) {
        FakeRunHost h;
        ShopHost(h);
        h.Serve(kBase, AsynPage(pager, {"101"}));
        TaobaoShopCrawler(h);
        EXPECT_EQ(h.fetched.size(), 1u) << pager;
        EXPECT_EQ(h.state.Items.Text(), "101\r\n") << pager;
        EXPECT_EQ(h.armAnalysis, 1);
    }
}

TEST(TaobaoShopCrawler, HostilePagerIsCapped) {
    FakeRunHost h;
    ShopHost(h);
    h.Serve(kBase, AsynPage("1/999999999", {"101"}));
    TaobaoShopCrawler(h);
    EXPECT_EQ(h.fetched.size(), static_cast<std::size_t>(kMaxListingPages));
    EXPECT_EQ(h.armAnalysis, 1);
}

TEST(TaobaoShopCrawler, CollectsIdsBetweenTheNextPageLinksOnceEach) {
    FakeRunHost h;
    ShopHost(h);
    h.state.Items.AppendLine("303");  // collected earlier in this run
    std::string page = AsynPage("1/2", {"101", "202", "101", "303"});
    // Cleaned forms: a scene suffix, an on_comment suffix and a ");" inside the piece.
    page.insert(page.rfind("<a href=\\\"//shop1.taobao.com/i/y"),
                "<a href=\\\"//item.taobao.com/item.htm?id=404&scene=taobao_shop\\\">x</a>"
                "<a href=\\\"//item.taobao.com/item.htm?id=505&on_comment=1\\\">x</a>"
                "<a href=\\\"//item.taobao.com/item.htm?id=606);&SCENE=Taobao_Shop\\\">x</a>");
    h.Serve(kBase, page);
    h.Serve(BaseFor(2), AsynPage("2/2", {"202", "707"}));
    TaobaoShopCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "303\r\n101\r\n202\r\n404\r\n505\r\n606\r\n707\r\n");
}

TEST(TaobaoShopCrawler, WithoutNextPageLinkTheWholePageCounts) {
    FakeRunHost h;
    ShopHost(h);
    h.Serve(kBase, "<a href=\\\"//item.taobao.com/item.htm?id=11\\\">x</a>");
    TaobaoShopCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "11\r\n");
}

TEST(TaobaoShopCrawler, OneNextPageLinkGivesTheTextAfterIt) {
    FakeRunHost h;
    ShopHost(h);
    h.Serve(kBase, "<a href=\\\"//item.taobao.com/item.htm?id=11\\\">x</a>" + G(">下一页</a>") +
                       "<a href=\\\"//item.taobao.com/item.htm?id=12\\\">x</a>");
    TaobaoShopCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "12\r\n");
}

TEST(TaobaoShopCrawler, WithoutShopMarkFails) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText("page-info>1/3<");
    TaobaoShopCrawler(h);
    EXPECT_TRUE(h.fetched.empty());
    EXPECT_EQ(h.armAnalysis, 0);
    ASSERT_EQ(h.finished.size(), 1u);
    EXPECT_EQ(h.finished[0], texts::NetworkTimeout());
    ASSERT_EQ(h.statuses.size(), 1u);
    EXPECT_EQ(h.statuses[0], texts::NetworkTimeout());
    EXPECT_EQ(h.state.Items.Text(), "");
}

TEST(TaobaoShopCrawler, CancellationStopsQuietly) {
    FakeRunHost h;
    ShopHost(h);
    h.Serve(kBase, AsynPage("1/50", {"101"}));
    h.cancelAfterFetches = 3;
    TaobaoShopCrawler(h);
    EXPECT_EQ(h.fetched.size(), 3u);
    EXPECT_EQ(h.armAnalysis, 0);
    EXPECT_TRUE(h.finished.empty());
}

// ---- TaobaoSearchCrawler ----

// Page 1 as the login window leaves it: no double quotes.
std::string CapturedSearchPage(const std::string& pager, const std::vector<std::string>& ids, bool withPageNo) {
    std::string s = "<div class=pagination><span class=page-info>" + pager + "</span>";
    if (withPageNo) {
        s += "<a href=//shop1.taobao.com/search.htm?pageNo=2>2</a>";
    }
    for (const auto& id : ids) {
        s += "<a href=//item.taobao.com/item.htm?id=" + id + " target=_blank>x</a>";
    }
    return s;
}

std::string FetchedSearchPage(const std::vector<std::string>& ids, bool withPageNo) {
    std::string s = "<div class=\"pagination\">";
    if (withPageNo) {
        s += "<a href=\"//shop1.taobao.com/search.htm?pageNo=3\">3</a>";
    }
    for (const auto& id : ids) {
        s += "<a href=\"//item.taobao.com/item.htm?id=" + id + "\" target=\"_blank\">x</a>";
    }
    return s;
}

std::string SearchAddress(const std::string& param, int n) {
    return kShop + "/search.htm?orderType=hotsell_desc&" + param + "=" + std::to_string(n);
}

TEST(TaobaoSearchCrawler, PageOneIdsAreTheDigitsAfterTheLink) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText(
        CapturedSearchPage("1/1", {"555", "556&scene=taobao_shop", "557&amp;on_comment=1"}, true));
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "555\r\n556\r\n557\r\n");
    EXPECT_TRUE(h.fetched.empty());
    EXPECT_EQ(h.armAnalysis, 1);
    ASSERT_EQ(h.pauses.size(), 1u);  // also after the last page
    EXPECT_EQ(h.pauses[0], 1000);
}

TEST(TaobaoSearchCrawler, LaterPagesCutAtTheQuoteAndClean) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText(CapturedSearchPage("1/3", {"555"}, true));
    h.Serve(SearchAddress("pageNo", 2),
            FetchedSearchPage({"777&scene=taobao_shop", "778&amp;on_comment=1", "779&on_comment=1", "555"}, true));
    h.Serve(SearchAddress("pageNo", 3), FetchedSearchPage({"780);", "781&scenetaobao_shop"}, true));
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "555\r\n777\r\n778\r\n779\r\n780\r\n781\r\n");
    EXPECT_EQ(h.fetched, (std::vector<std::string>{SearchAddress("pageNo", 2), SearchAddress("pageNo", 3)}));
    EXPECT_EQ(h.pauses, (std::vector<int>{1000, 1000, 1000}));
    EXPECT_EQ(h.armAnalysis, 1);
}

TEST(TaobaoSearchCrawler, SwitchesToPageNumWhenPageOneHasNoPageNo) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText(CapturedSearchPage("1/3", {"555"}, false));
    h.Serve(SearchAddress("pageNum", 2), FetchedSearchPage({"600"}, true));
    h.Serve(SearchAddress("pageNum", 3), FetchedSearchPage({"601"}, true));
    TaobaoSearchCrawler(h);
    // The switch stays for the rest of the crawl, even though page 2 holds "pageNo".
    EXPECT_EQ(h.fetched, (std::vector<std::string>{SearchAddress("pageNum", 2), SearchAddress("pageNum", 3)}));
    EXPECT_EQ(h.state.Items.Text(), "555\r\n600\r\n601\r\n");
}

TEST(TaobaoSearchCrawler, SwitchesWhenALaterPageHasNoPageNo) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText(CapturedSearchPage("1/3", {}, true));
    h.Serve(SearchAddress("pageNo", 2), FetchedSearchPage({"600"}, false));
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.fetched, (std::vector<std::string>{SearchAddress("pageNo", 2), SearchAddress("pageNum", 3)}));
}

TEST(TaobaoSearchCrawler, PagerCounts) {
    for (auto [pager, pages] : std::vector<std::pair<std::string, std::size_t>>{
             {"3/12", 12}, {"1/x", 1}, {"1/0", 1}, {"1/99999999999", kMaxListingPages}}) {
        FakeRunHost h;
        h.shop = kShop;
        h.state.SetListingPageText(CapturedSearchPage(pager, {}, true));
        TaobaoSearchCrawler(h);
        EXPECT_EQ(h.fetched.size() + 1, pages) << pager;
        EXPECT_EQ(h.pauseCount[1000], static_cast<int>(pages)) << pager;
    }
}

TEST(TaobaoSearchCrawler, DuplicatesAreWholeLines) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.Items.AppendLine("5551");  // a longer id does not hide a shorter one
    h.state.SetListingPageText(CapturedSearchPage("1/2", {"555", "555", "5551"}, true));
    h.Serve(SearchAddress("pageNo", 2), FetchedSearchPage({"555", "55"}, true));
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "5551\r\n555\r\n55\r\n");
}

TEST(TaobaoSearchCrawler, WithoutPagerFails) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText("<html>?mid=w-1-0</html>");
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.armAnalysis, 0);
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::NetworkTimeout()});
    EXPECT_EQ(h.statuses, std::vector<std::string>{texts::NetworkTimeout()});
}

TEST(TaobaoSearchCrawler, CancelledDuringPauseStopsQuietly) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText(CapturedSearchPage("1/5", {"555"}, true));
    h.cancelAfterFetches = 2;
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.fetched.size(), 2u);
    EXPECT_EQ(h.armAnalysis, 0);
    EXPECT_TRUE(h.finished.empty());
}

}  // namespace
}  // namespace vantrel
