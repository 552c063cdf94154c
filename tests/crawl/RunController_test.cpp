#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "analysis/ItemAnalysers.h"
#include "app/FileIO.h"
#include "crawl/FakeRunHost.h"
#include "run/RunController.h"
#include "web/CapturedPage.h"
#include "web/ShopCrawlers.h"

namespace vantrel {
namespace {

using fake::FakeRunHost;
using fake::G;

TEST(NormaliseShopAddress, SpacesSchemeAndHost) {
    // Spaces around and inside, the full-width space, the secure scheme in capitals, a path and a query.
    const NormalisedAddress a = NormaliseShopAddress(" HTTPS://shop1. taobao.com" + G("　") + "/search.htm?x=1 ");
    EXPECT_EQ(a.spacesRemoved, "HTTPS://shop1.taobao.com/search.htm?x=1");
    EXPECT_EQ(a.schemeReplaced, "http://shop1.taobao.com/search.htm?x=1");
    EXPECT_EQ(a.withScheme, "http://shop1.taobao.com/search.htm?x=1");
    EXPECT_EQ(HostOnlyAddress(a.withScheme), "http://shop1.taobao.com");
}

TEST(NormaliseShopAddress, SchemeIsAddedWhenMissing) {
    EXPECT_EQ(NormaliseShopAddress("shop1.taobao.com").withScheme, "http://shop1.taobao.com");
    EXPECT_EQ(HostOnlyAddress("http://shop1.taobao.com:8080/x?y"), "http://shop1.taobao.com:8080");
    EXPECT_EQ(NormaliseShopAddress("").withScheme, "");
    // Tabs stay.
    EXPECT_EQ(NormaliseShopAddress("a\tb").spacesRemoved, "a\tb");
}

TEST(NormaliseShopAddress, PlainSchemeInCapitalsIsNotRecognised) {
    const NormalisedAddress a = NormaliseShopAddress("HTTP://shop1.taobao.com/x");
    EXPECT_EQ(a.withScheme, "http://HTTP://shop1.taobao.com/x");
    EXPECT_EQ(HostOnlyAddress(a.withScheme), "http://HTTP:");
    EXPECT_EQ(HostOnlyAddress("http:"), "http://");
}

TEST(ShopKindOf, ExactCaseMarks) {
    EXPECT_EQ(ShopKindOf("http://shop1.taobao.com"), ShopKind::Taobao);
    EXPECT_EQ(ShopKindOf("http://shop2.tmall.com"), ShopKind::Tmall);
    EXPECT_EQ(ShopKindOf("http://shop3.tmall.hk"), ShopKind::Tmall);
    EXPECT_EQ(ShopKindOf("http://shop1.TAOBAO.com"), ShopKind::None);
    EXPECT_EQ(ShopKindOf(""), ShopKind::None);
}

TEST(BrowserTargetFor, SearchPageByKind) {
    EXPECT_EQ(BrowserTargetFor("http://shop1.taobao.com"), "http://shop1.taobao.com/search.htm?orderType=hotsell_desc");
    EXPECT_EQ(BrowserTargetFor("http://shop2.tmall.com"), "http://shop2.tmall.com/search.htm?search=y");
    EXPECT_EQ(BrowserTargetFor("http://example.com"), "");
}

TEST(ChooseCrawler, ByAddressAndCapturedPage) {
    EXPECT_EQ(ChooseCrawler("http://a.taobao.com", "x?mid=w-1-0"), CrawlerKind::TaobaoShop);
    EXPECT_EQ(ChooseCrawler("http://a.taobao.com", "page-info>1/2<"), CrawlerKind::TaobaoSearch);
    EXPECT_EQ(ChooseCrawler("http://a.tmall.com", "x?mid=w-1-0"), CrawlerKind::TmallShop);
    EXPECT_EQ(ChooseCrawler("http://a.tmall.hk", ""), CrawlerKind::TmallShop);
    EXPECT_EQ(ChooseCrawler("http://a.example.com", "?mid=w"), CrawlerKind::None);
}

TEST(RunCrawler, DispatchesAndNoneDoesNothing) {
    FakeRunHost h;
    h.shop = "http://a.taobao.com";
    RunCrawler(CrawlerKind::None, h);
    EXPECT_TRUE(h.events.empty());
    RunCrawler(CrawlerKind::TaobaoSearch, h);  // no pager in the empty page: the search crawler's failure
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::NetworkTimeout()});
}

TEST(RunAnalyser, TaobaoAddressRunsTheTaobaoAnalyser) {
    FakeRunHost h;
    h.state.Items.AppendLine("42");
    h.state.Items.AppendLine("http://detail.tmall.com/item.htm?id=43");
    RunAnalyser("http://a.taobao.com", h);
    EXPECT_EQ(h.FetchCount("http://item.taobao.com/item.htm?id=42"), kItemPageTries);
    FakeRunHost t;
    t.state.Items.AppendLine("42");
    t.state.Items.AppendLine("http://detail.tmall.com/item.htm?id=43");
    RunAnalyser("http://a.tmall.com", t);
    EXPECT_EQ(t.FetchCount("http://detail.tmall.com/item.htm?id=43"), kItemPageTries);
    EXPECT_EQ(t.FetchCount("42"), 0);
}

TEST(BeginRun, EmptiesTheQueueAndTheListingPage) {
    RunState s;
    s.Items.AppendLine("1");
    s.SetListingPageText("page-info>");
    BeginRun(s);
    EXPECT_EQ(s.Items.Text(), "");
    EXPECT_EQ(s.Items.LineCount(), 0u);
    EXPECT_EQ(s.ListingPageText(), "");
    EXPECT_TRUE(s.Items.AppendLine("1"));
}

TEST(BeginRun, ASecondShopDoesNotSeeTheFirstShopsItems) {
    FakeRunHost h;
    h.shop = "http://a.taobao.com";
    h.state.SetListingPageText("page-info>1/1<a href=//item.taobao.com/item.htm?id=11 x>");
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "11\r\n");
    BeginRun(h.state);
    h.state.SetListingPageText("page-info>1/1<a href=//item.taobao.com/item.htm?id=22 x>");
    TaobaoSearchCrawler(h);
    EXPECT_EQ(h.state.Items.Text(), "22\r\n");
}

TEST(Texts, AreGbk) {
    EXPECT_EQ(texts::BadAddress(), G("请输入淘宝店或天猫店首页网址！"));
    EXPECT_EQ(texts::WarningTitle(), G("Lumora提醒您："));
    EXPECT_EQ(texts::AnalysingAddress(), G("正在分析商品地址中……"));
    EXPECT_EQ(texts::Downloading(), G("正在下载数据中……"));
    EXPECT_EQ(texts::Finished(), G("已完成任务！"));
    EXPECT_EQ(texts::DownloadFailed(), G("下载失败，请清除COOKIES缓存后再重试！"));
    EXPECT_EQ(texts::NetworkTimeout(), G("网络超时，请重试！"));
    EXPECT_EQ(texts::NetworkTimeoutCookies(), G("网络超时，请清除COOKIES后重试！"));
    EXPECT_EQ(texts::Finished(), "\xD2\xD1\xCD\xEA\xB3\xC9\xC8\xCE\xCE\xF1\xA3\xA1");
}

class AddressHistory : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrel-history-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        file_ = dir_ / "url.txt";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Read() { return ReadWholeFile(file_).value_or("<missing>"); }
    void Write(const std::string& s) { ASSERT_TRUE(WriteFileAtomic(file_, s)); }

    std::filesystem::path dir_;
    std::filesystem::path file_;
};

TEST_F(AddressHistory, MostRecentFirstWithoutDuplicates) {
    EXPECT_EQ(LoadAddressHistory(file_), std::nullopt);
    EXPECT_TRUE(SaveAddressHistory(file_, "http://a.taobao.com"));
    EXPECT_EQ(Read(), "http://a.taobao.com\r\n");
    SaveAddressHistory(file_, "http://b.tmall.com");
    SaveAddressHistory(file_, "http://a.taobao.com");
    EXPECT_EQ(Read(), "http://a.taobao.com\r\nhttp://b.tmall.com\r\n");
    EXPECT_EQ(LoadAddressHistory(file_), (std::vector<std::string>{"http://a.taobao.com", "http://b.tmall.com"}));
}

TEST_F(AddressHistory, OnlyWholeLinesAreRemoved) {
    Write("http://http://a.taobao.com\r\nhttp://a.taobao.com\r\n\r\nhttp://c.taobao.com\r\nhttp://a.taobao.com");
    SaveAddressHistory(file_, "http://a.taobao.com");
    EXPECT_EQ(Read(), "http://a.taobao.com\r\nhttp://http://a.taobao.com\r\n\r\nhttp://c.taobao.com\r\n");
}

TEST_F(AddressHistory, GbkBytesAreKept) {
    const std::string gbk = "http://" + G("店铺") + ".taobao.com";
    SaveAddressHistory(file_, gbk);
    EXPECT_EQ(Read(), gbk + "\r\n");
    EXPECT_EQ(LoadAddressHistory(file_), std::vector<std::string>{gbk});
}

TEST_F(AddressHistory, LoadKeepsEmptyMiddleEntriesAndNeedsHttp) {
    Write("a\r\n\r\nhttp://b\r\n");
    EXPECT_EQ(LoadAddressHistory(file_), (std::vector<std::string>{"a", "", "http://b"}));
    Write("HTTP://a\r\nb\r\n");
    EXPECT_EQ(LoadAddressHistory(file_), std::nullopt);
    Write("");
    EXPECT_EQ(LoadAddressHistory(file_), std::nullopt);
    Write("http://x");
    EXPECT_EQ(LoadAddressHistory(file_), std::vector<std::string>{"http://x"});
}

// ---- Captured page ----

TEST(CapturedPage, QuotedAndUnquotedPagersEndUpAlike) {
    EXPECT_EQ(NormaliseCapturedPage("<b class=\"page-info\">1/5</b>"), "<b class=page-info>1/5</b>");
    EXPECT_EQ(NormaliseCapturedPage("<b class=page-info>1/5</b>"), "<b class=page-info>1/5</b>");
    EXPECT_EQ(NormaliseCapturedPage("<b class=\"PAGE-INFO\">1/5</b>"), "<b class=page-info>1/5</b>");
    EXPECT_EQ(NormaliseCapturedPage("<a href=\"x?id%3D1&k%3d2\">"), "<a href=x?id=1&k=2>");
}

TEST(CapturedPage, GoodPage) {
    const std::string captcha = G("请输入验证码证明咱是正常人");
    EXPECT_TRUE(IsGoodListingPage("a?mid=w-1-0"));
    EXPECT_TRUE(IsGoodListingPage("page-info>1/2"));
    EXPECT_TRUE(IsGoodListingPage("SecurityMatrix ok"));
    EXPECT_FALSE(IsGoodListingPage("SecurityMatrix " + captcha));
    EXPECT_TRUE(IsGoodListingPage("SecurityMatrix " + captcha + " ?mid=w"));
    EXPECT_FALSE(IsGoodListingPage(captcha));
    EXPECT_FALSE(IsGoodListingPage("page-info\">"));
    EXPECT_FALSE(IsGoodListingPage(""));
}

TEST(CapturedPage, LoginFirstCaption) {
    const std::string page = G("<title>淘宝网 - 无法显示该网页</title> 证书错误");
    EXPECT_TRUE(WantsLoginFirstCaption(page));
    EXPECT_FALSE(WantsLoginFirstCaption(page + "?mid=w"));
    EXPECT_FALSE(WantsLoginFirstCaption(page + "page-info>"));
    EXPECT_FALSE(WantsLoginFirstCaption(G("<title>淘宝网 - 无法显示该网页</title>")));
}

}  // namespace
}  // namespace vantrel
