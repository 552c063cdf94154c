#include <gtest/gtest.h>

#include "crawl/FakeRunHost.h"
#include "run/RunController.h"
#include "web/ShopCrawlers.h"

namespace vantrel {
namespace {

using fake::FakeRunHost;
using fake::G;

const std::string kShop = "http://shop2.tmall.com";
const std::string kAsynBase = kShop + "/i/asynSearch.htm?mid=w-777-0&path=/search.htm&&search=y&pageNo=1";
const std::string kSearch = kShop + "/search.htm?search=y";

std::string AsynAddress(int n) {
    return kShop + "/i/asynSearch.htm?mid=w-777-0&path=/search.htm&&search=y&pageNo=" + std::to_string(n);
}

// The asynchronous answer: escaped quotes, the upper pager, the items, the lower pager.
std::string AsynPage(const std::string& pager, const std::vector<std::string>& links) {
    std::string s = "<div class=\\\"ui-page-s\\\"><b class=\\\"ui-page-s-len\\\">" + pager + "</b></div>";
    for (const auto& l : links) {
        s += "<dd><a href=\\\"//" + l + "\\\">x</a></dd>\r\n";
    }
    s += "<a class=\\\"ui-page-prev\\\">" + G("上一页</a>") + "<a>2</a>";
    s += "<a href=\\\"//detail.tmall.com/item.htm?id=4040&rn=1\\\">after the pager</a>";
    return s;
}

// The shop's search page as fetched (quotes kept), with the listing key.
std::string SearchPage(const std::string& key, const std::string& pager, const std::vector<std::string>& links) {
    std::string s = "<a href=\"//shop2.tmall.com/i/asynSearch.htm?mid=w-" + key + "-0&x=1\">x</a>";
    s += "<b class=\"ui-page-s-len\">" + pager + "</b>";
    for (const auto& l : links) {
        s += "<dd><a href=\"//" + l + "\">x</a></dd>\r\n";
    }
    s += G("<a>上一页</a>");
    s += "<a href=\"//detail.tmall.com/item.htm?id=5050&rn=1\">after the pager</a>";
    return s;
}

void CapturedHost(FakeRunHost& h, const std::string& shop = kShop) {
    h.shop = shop;
    h.state.SetListingPageText("<a href=//shop2.tmall.com/i/asynSearch.htm?mid=w-777-0&x=1>x</a>");
}

TEST(TmallShopCrawler, AsynchronousBranchCollectsLinksWithAnAmpersand) {
    FakeRunHost h;
    CapturedHost(h);
    h.Serve(kAsynBase,
            AsynPage("1/3", {"detail.tmall.com/item.htm?id=1001&rn=a", "detail.tmall.com/item.htm?id=1002",
                             "detail.tmall.com/item.htm?id=1003&rn=b", "detail.tmall.com/item.htm?id=1001&rn=c"}));
    h.Serve(AsynAddress(2),
            std::vector<std::string>{"", "", "", "", "", AsynPage("2/3", {"detail.tmall.com/item.htm?id=9"})});
    h.Serve(AsynAddress(3), AsynPage("3/3", {"detail.tmall.com/item.htm?id=1002&rn=z"}));
    TmallShopCrawler(h);
    // 1002 is followed by the closing quote on page 1: nothing; with "&" on page 3: added once.
    EXPECT_EQ(h.state.Items.Text(),
              "http://detail.tmall.com/item.htm?id=1001\r\n"
              "http://detail.tmall.com/item.htm?id=1003\r\n"
              "http://detail.tmall.com/item.htm?id=1002\r\n");
    // Page 2 was empty 5 times: 5 attempts, nothing from it, the crawl went on.
    EXPECT_EQ(h.FetchCount(AsynAddress(2)), 5);
    EXPECT_EQ(h.FetchCount(AsynAddress(3)), 1);
    EXPECT_EQ(h.fetched.front(), kAsynBase);
    EXPECT_EQ(h.armAnalysis, 1);
    EXPECT_EQ(h.clearBrowser, 0);
    EXPECT_TRUE(h.finished.empty());
    EXPECT_TRUE(h.pauses.empty());
}

TEST(TmallShopCrawler, OtherTmallHostsUseTheGlobalPrefix) {
    FakeRunHost h;
    CapturedHost(h, "http://shop3.tmall.hk");
    h.Serve("http://shop3.tmall.hk/i/asynSearch.htm?mid=w-777-0&path=/search.htm&&search=y&pageNo=1",
            AsynPage("1/1", {"detail.tmall.hk/hk/item.htm?id=31&rn=1", "detail.tmall.com/item.htm?id=32&rn=1"}));
    TmallShopCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "http://detail.tmall.hk/hk/item.htm?id=31\r\n");
}

TEST(TmallShopCrawler, AnswerWithoutBothCutMarkersYieldsNothing) {
    FakeRunHost h;
    CapturedHost(h);
    h.Serve(kAsynBase, "<a href=\\\"//detail.tmall.com/item.htm?id=1001&rn=a\\\">ui-page-s-len</a>");
    TmallShopCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "");
    EXPECT_EQ(h.armAnalysis, 1);
}

TEST(TmallShopCrawler, KeySearchRereadsTheSearchPageAndGivesUpAfterFiveAttempts) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText("<html>no key</html>");
    TmallShopCrawler(h);
    EXPECT_EQ(h.fetched, std::vector<std::string>(kTmallKeySearchAttempts, kSearch));
    EXPECT_EQ(h.clearBrowser, kTmallKeySearchAttempts);
    EXPECT_EQ(h.events[0], "ClearBrowserState");
    EXPECT_EQ(h.events[1], "Fetch " + kSearch);
    EXPECT_EQ(h.statuses, std::vector<std::string>{texts::NetworkTimeoutCookies()});
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::NetworkTimeoutCookies()});
    EXPECT_EQ(h.armAnalysis, 0);
}

TEST(TmallShopCrawler, DefaultRenderErrorReadsTheSearchPages) {
    FakeRunHost h;
    h.shop = kShop;
    h.state.SetListingPageText("");
    h.Serve(kSearch, std::vector<std::string>{"", SearchPage("888", "1/2", {"detail.tmall.com/item.htm?id=1&a=1"})});
    const std::string asyn = kShop + "/i/asynSearch.htm?mid=w-888-0&path=/search.htm&&search=y&pageNo=1";
    h.Serve(asyn, "<html>default render error</html>");
    h.Serve(kShop + "/search.htm?search=y&pageNo=2", SearchPage("888", "2/2", {"detail.tmall.com/item.htm?id=2&a=1"}));
    TmallShopCrawler(h);
    EXPECT_EQ(h.fetched, (std::vector<std::string>{kSearch, kSearch, asyn, kShop + "/search.htm?search=y&pageNo=2"}));
    EXPECT_EQ(h.clearBrowser, 2);
    // The ids between the upper pager and the previous-page link only.
    EXPECT_EQ(h.state.Items.Text(),
              "http://detail.tmall.com/item.htm?id=1\r\nhttp://detail.tmall.com/item.htm?id=2\r\n");
    EXPECT_EQ(h.armAnalysis, 1);
    EXPECT_TRUE(h.finished.empty());
}

TEST(TmallShopCrawler, DefaultRenderErrorWithCapturedPageGoesToTheRedirectCheck) {
    FakeRunHost h;
    h.shop = kShop;
    // The captured page has lost its quotes: no PageSizeMark, but a script redirect.
    h.state.SetListingPageText(
        "<a href=//shop2.tmall.com/i/asynSearch.htm?mid=w-777-0&x=1>x</a><b class=ui-page-s-len>1/4</b>"
        "<script>window.location.href='http://login.tmall.com/?redirect=x&y=1';</script>");
    h.state.SetBrowserTargetUrl("old");
    h.Serve(kAsynBase, "default render error");
    TmallShopCrawler(h);
    EXPECT_EQ(h.fetched, std::vector<std::string>{kAsynBase});
    EXPECT_EQ(h.state.BrowserTargetUrl(), "http://login.tmall.com/?redirect=x&y=1");
    EXPECT_EQ(h.state.ListingPageText(), "");
    EXPECT_EQ(h.events, (std::vector<std::string>{"Fetch " + kAsynBase, "ClearBrowserState", "ReopenLoginWindow",
                                                  "ArmAnalysis"}));
    EXPECT_TRUE(h.finished.empty());
}

TEST(TmallShopCrawler, NoPagerNoRedirectShowsTheTimeoutAndStillArmsTheAnalysis) {
    FakeRunHost h;
    CapturedHost(h);
    h.Serve(kAsynBase, "default render error");
    TmallShopCrawler(h);
    EXPECT_EQ(h.statuses, std::vector<std::string>{texts::NetworkTimeoutCookies()});
    EXPECT_TRUE(h.finished.empty());
    EXPECT_EQ(h.armAnalysis, 1);
    EXPECT_EQ(h.events.back(), "ArmAnalysis");
}

TEST(TmallShopCrawler, HostilePagerIsCapped) {
    FakeRunHost h;
    CapturedHost(h);
    h.Serve(kAsynBase, AsynPage("1/999999999", {}));
    for (int n = 2; n <= 3; ++n) {
        h.Serve(AsynAddress(n), "x");
    }
    h.cancelAfterFetches = 0;
    TmallShopCrawler(h);
    // Pages 2.. are empty: 5 attempts each, at most kMaxListingPages pages.
    EXPECT_EQ(h.progress.back().count, kMaxListingPages);
    EXPECT_EQ(h.progress.size(), static_cast<std::size_t>(kMaxListingPages));
    EXPECT_EQ(h.armAnalysis, 1);
}

TEST(TmallShopCrawler, CancellationStopsQuietly) {
    FakeRunHost h;
    CapturedHost(h);
    h.Serve(kAsynBase, AsynPage("1/30", {}));
    h.cancelAfterFetches = 4;
    TmallShopCrawler(h);
    EXPECT_EQ(h.fetched.size(), 4u);
    EXPECT_EQ(h.armAnalysis, 0);
    EXPECT_TRUE(h.finished.empty());
}

TEST(TmallShopCrawler, CancelledKeySearchDoesNotFinishTheRun) {
    FakeRunHost h;
    h.shop = kShop;
    h.cancelAfterFetches = 2;
    TmallShopCrawler(h);
    EXPECT_EQ(h.fetched.size(), 2u);
    EXPECT_TRUE(h.finished.empty());
    EXPECT_EQ(h.armAnalysis, 0);
}

}  // namespace
}  // namespace vantrel
