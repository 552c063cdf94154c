#include <gtest/gtest.h>

#include <thread>

#include "analysis/ItemAnalysers.h"
#include "analysis/ResultTable.h"
#include "analysis/TimeText.h"
#include "crawl/FakeRunHost.h"
#include "run/RunController.h"

namespace vantrel {
namespace {

using fake::CounterAddress;
using fake::FakeRunHost;
using fake::G;
using fake::PriceAddress;

std::string ItemAddress(const std::string& id) {
    return "http://item.taobao.com/item.htm?id=" + id;
}
std::string SalesAddress(const std::string& id) {
    return "http://detailskip.taobao.com/json/ifq.htm?id=" + id + "&sid=9";
}
std::string ReviewAddress(const std::string& id) {
    return "http://rate.taobao.com/detailCount.do?itemId=" + id + "&callback=jsonp120";
}

struct ItemPageOptions {
    bool sales = true;
    bool singleQuotedReview = false;
    bool dbst = true;
    bool now = true;
    std::string ms = "1451577600000";
};

std::string ItemPage(const std::string& id, const ItemPageOptions& p = {}) {
    std::string s = G("<html><head><title>好物 连衣裙-淘宝网</title></head><body>\r\n");
    s += "<em class=\"tb-rmb-num\"> 128.00 </em>\r\n";
    s += "<script>var g_config = { counterApi: x, keys: \"ICCP_1_" + id + "\", other: 1 };\r\n";
    if (p.sales) {
        s += "  sibUrl: '//detailskip.taobao.com/json/ifq.htm?id=" + id + "&sid=9',\r\n";
    }
    if (p.singleQuotedReview) {
        s += "  rateCounterApi   : '//rate.taobao.com/detailCount.do?itemId=" + id + "',\r\n";
    } else {
        s += "  rateCounterApi:\"//rate.taobao.com/detailCount.do?itemId=" + id + "\",\r\n";
    }
    if (p.dbst) {
        s += "  dbst : " + p.ms + ",\r\n";
    }
    if (p.now) {
        s += "  \"now\": 1452000000000, \r\n";
    }
    s += "</script><img class=\"tb-pic tb-s50\" data-src=\"//img.example.com/bao/" + id + ".jpg_50x50.jpg\">";
    s += "</body></html>";
    return s;
}

void ServeItem(FakeRunHost& h, const std::string& id, const ItemPageOptions& p = {}) {
    h.Serve(ItemAddress(id), ItemPage(id, p));
    h.Serve(CounterAddress(id), "json({\"ICCP_1_" + id + "\":678});");
    h.Serve(SalesAddress(id), "jsonp({quanity: 52, \tconfirmGoods: 40})");
    h.Serve(ReviewAddress(id), "jsonp120({\"count\":{\"" + id + "\":321}})");
    h.Serve(PriceAddress(id), G("<p>当前价：<b>99.00</b></p><p>最低价：<span>'无'</span></p>"));
}

void HostWithItems(FakeRunHost& h, const std::vector<std::string>& ids) {
    h.shop = "http://shop1.taobao.com";
    for (const auto& id : ids) {
        h.state.Items.AppendLine(id);
    }
}

TEST(TaobaoItemAnalyser, FillsEveryCellInTheSpecifiedOrder) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    TaobaoItemAnalyser(h);
    ASSERT_EQ(h.table.RowCount(), 1);
    EXPECT_EQ(h.Cell(0, kSeq), "1");
    EXPECT_EQ(h.Cell(0, kTitle), G("好物 连衣裙"));
    EXPECT_EQ(h.Cell(0, kListPrice), "128.00");
    EXPECT_EQ(h.Cell(0, kSalePrice), "99.00");
    EXPECT_EQ(h.Cell(0, kLowestPrice), "-");
    EXPECT_EQ(h.Cell(0, kFavourites), "678");
    EXPECT_EQ(h.Cell(0, kDeals30d), "52");
    EXPECT_EQ(h.Cell(0, kReceipts30d), "40");
    EXPECT_EQ(h.Cell(0, kReviews), "321");
    EXPECT_EQ(h.Cell(0, kItemUrl), "https://item.taobao.com/item.htm?id=12345");
    EXPECT_EQ(h.Cell(0, kImageUrl), "http://img.example.com/bao/12345.jpg");
    EXPECT_EQ(h.Cell(0, kItemId), "12345");
    EXPECT_EQ(h.Cell(0, kListedAt), "2016-01-01 00:00:00");
    EXPECT_EQ(h.Cell(0, kPublishedAt), "2016-01-01 00:00:00");
    EXPECT_EQ(h.Cell(0, kDelistAt), "2016-01-08 00:00:00");
    EXPECT_EQ(h.cellOrder, (std::vector<int>{1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 3, 4}));
    EXPECT_EQ(h.statuses, std::vector<std::string>{texts::Downloading()});
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
    EXPECT_EQ(h.events.front(), "SetStatus " + texts::Downloading());
    EXPECT_EQ(h.events[1], "ClearResults");
    EXPECT_EQ(h.events.back(), "FinishRun " + texts::Finished());
    EXPECT_EQ(h.fetched, (std::vector<std::string>{ItemAddress("12345"), CounterAddress("12345"), SalesAddress("12345"),
                                                   ReviewAddress("12345"), PriceAddress("12345")}));
    // 1 ms after the item page, 50 ms after the price try.
    EXPECT_EQ(h.pauses, (std::vector<int>{1, 50}));
    ASSERT_EQ(h.progress.size(), 1u);
    EXPECT_EQ(h.progress[0].stage, Stage::Analysis);
    EXPECT_EQ(h.progress[0].n, 1);
    EXPECT_EQ(h.progress[0].count, 1);
    EXPECT_EQ(h.progress[0].detail, "12345");
}

TEST(TaobaoItemAnalyser, ReviewAddressInTheSingleQuotedSpelling) {
    for (bool sales : {true, false}) {
        FakeRunHost h;
        HostWithItems(h, {"777"});
        ItemPageOptions p;
        p.sales = sales;
        p.singleQuotedReview = true;
        ServeItem(h, "777", p);
        TaobaoItemAnalyser(h);
        EXPECT_EQ(h.FetchCount(ReviewAddress("777")), 1) << sales;
        EXPECT_EQ(h.Cell(0, kReviews), "321") << sales;
    }
}

TEST(TaobaoItemAnalyser, ListingCycleWhenTheListingTimeIsAfterNow) {
    FakeRunHost h;
    HostWithItems(h, {"5"});
    ItemPageOptions p;
    p.ms = "1452600000000";  // L = 1452628800 > N
    ServeItem(h, "5", p);
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.Cell(0, kListedAt), "2016-01-12 20:00:00");
    EXPECT_EQ(h.Cell(0, kPublishedAt), "2016-01-05 20:00:00");
    EXPECT_EQ(h.Cell(0, kDelistAt), "2016-01-12 20:00:00");
}

TEST(TaobaoItemAnalyser, ListingCycleFarInThePastIsComputedInOneStep) {
    FakeRunHost h;
    HostWithItems(h, {"5"});
    ItemPageOptions p;
    p.ms = "-9000000000000000000";
    ServeItem(h, "5", p);
    TaobaoItemAnalyser(h);
    // E lies in [N, N + 7 days), N = 2016-01-05 13:20:00.
    EXPECT_GE(h.Cell(0, kDelistAt), "2016-01-05 13:20:00");
    EXPECT_LT(h.Cell(0, kDelistAt), "2016-01-12 13:20:00");
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
}

TEST(TaobaoItemAnalyser, HostileTimeValuesStayBounded) {
    for (const char* ms : {"1e400", "-1e400", "99999999999999999999999", "x"}) {
        FakeRunHost h;
        HostWithItems(h, {"5"});
        ItemPageOptions p;
        p.ms = ms;
        ServeItem(h, "5", p);
        std::string page = ItemPage("5", p);
        page.replace(page.find("1452000000000"), 13, "1e999");  // a hostile server time as well
        h.Serve(ItemAddress("5"), page);
        TaobaoItemAnalyser(h);
        EXPECT_FALSE(h.Cell(0, kListedAt).empty()) << ms;
        EXPECT_FALSE(h.Cell(0, kDelistAt).empty()) << ms;
        EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()}) << ms;
    }
}

TEST(TaobaoItemAnalyser, WithoutDbstTheTimeCellsStayEmptyAndAreNotReused) {
    FakeRunHost h;
    HostWithItems(h, {"1", "2"});
    ServeItem(h, "1");
    ItemPageOptions p;
    p.dbst = false;
    ServeItem(h, "2", p);
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.Cell(0, kDelistAt), "2016-01-08 00:00:00");
    EXPECT_EQ(h.Cell(1, kListedAt), "");
    EXPECT_EQ(h.Cell(1, kPublishedAt), "");
    EXPECT_EQ(h.Cell(1, kDelistAt), "");
    EXPECT_EQ(h.Cell(1, kReviews), "321");
}

TEST(TaobaoItemAnalyser, WithoutServerTimeNIsTheMachinesClock) {
    FakeRunHost h;
    HostWithItems(h, {"1"});
    ItemPageOptions p;
    p.now = false;
    ServeItem(h, "1", p);
    TaobaoItemAnalyser(h);
    const std::int64_t now = DateTimeToUnix(LocalNow());
    // E is the first boundary L + k weeks at or after the current time.
    std::int64_t e = 1451606400;
    while (e < now) {
        e += 604800;
    }
    const std::string delist = h.Cell(0, kDelistAt);
    EXPECT_TRUE(delist == FormatTimeText(UnixToDateTime(e)) || delist == FormatTimeText(UnixToDateTime(e + 604800)))
        << delist;
}

TEST(TaobaoItemAnalyser, FavouritesWithoutTheKeyLeaveTheCellEmpty) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    h.Serve(CounterAddress("12345"), "json({})");
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.Cell(0, kFavourites), "");
    EXPECT_EQ(h.Cell(0, kDeals30d), "52");
}

TEST(TaobaoItemAnalyser, PricesAreTriedFiveTimesFiftyMillisecondsApart) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    h.Serve(PriceAddress("12345"), "nothing");
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.FetchCount(PriceAddress("12345")), 5);
    EXPECT_EQ(h.pauseCount[50], 5);
    EXPECT_EQ(h.Cell(0, kSalePrice), "");
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
}

TEST(TaobaoItemAnalyser, SalesAreTriedTenTimes) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    h.Serve(SalesAddress("12345"), "busy");
    h.Serve(ReviewAddress("12345"), "busy");
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.FetchCount(SalesAddress("12345")), 10);
    EXPECT_EQ(h.FetchCount(ReviewAddress("12345")), 10);
    EXPECT_EQ(h.armSecurity, 0);
    EXPECT_EQ(h.Cell(0, kDeals30d), "");
}

const std::string kSecurityAnswer =
    "{\"url\":\"http://sec.taobao.com/query.htm?action=QueryAction&smApp=detailskip\",\"x\":1}";

TEST(TaobaoItemAnalyser, SecurityCheckOnTheSalesRequestHandsOffAndFetchesAgain) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    std::vector<std::string> answers(10, kSecurityAnswer);
    answers.push_back("jsonp({quanity: 7, confirmGoods: 6})");
    h.Serve(SalesAddress("12345"), answers);
    TaobaoItemAnalyser(h);
    ASSERT_EQ(h.armSecurity, 1);
    EXPECT_EQ(h.securityTargets[0], "http://sec.taobao.com/query.htm?action=QueryAction&smApp=detailskip");
    EXPECT_EQ(h.securityPurposes[0], 9);
    EXPECT_EQ(h.securityPending[0], 1);
    EXPECT_EQ(h.FetchCount(SalesAddress("12345")), 11);
    EXPECT_EQ(h.Cell(0, kDeals30d), "7");
    EXPECT_EQ(h.Cell(0, kReceipts30d), "6");
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
}

TEST(TaobaoItemAnalyser, SecurityCheckWaitsUntilTheWindowClearsTheFlag) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    h.Serve(SalesAddress("12345"), std::vector<std::string>(10, kSecurityAnswer));
    h.pages[SalesAddress("12345")].push_back("jsonp({quanity: 7, confirmGoods: 6})");
    // The "window" is another thread: it passes the check only after the analyser has polled three times.
    std::thread window;
    h.onSecurityCheck = [&window](FakeRunHost& host) {
        window = std::thread([&host] {
            while (host.pollPauses.load() < 3) {
                std::this_thread::yield();
            }
            host.state.BrowserPurpose = 0;
            host.state.VerifyPending = 0;
        });
    };
    TaobaoItemAnalyser(h);
    window.join();
    EXPECT_EQ(h.armSecurity, 1);
    EXPECT_GE(h.pollPauses.load(), 3);
    EXPECT_EQ(h.FetchCount(SalesAddress("12345")), 11);
    EXPECT_EQ(h.Cell(0, kDeals30d), "7");
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
}

TEST(TaobaoItemAnalyser, SecurityCheckOnTheReviewRequestEndsTheQueryAtTheQuote) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    std::vector<std::string> answers(10, kSecurityAnswer);
    answers.push_back("jsonp120({\"count\":{\"12345\":5}})");
    h.Serve(ReviewAddress("12345"), answers);
    TaobaoItemAnalyser(h);
    ASSERT_EQ(h.armSecurity, 1);
    EXPECT_EQ(h.securityTargets[0], "http://sec.taobao.com/query.htm?action=QueryAction&smApp=detailskip");
    EXPECT_EQ(h.Cell(0, kReviews), "5");
}

TEST(TaobaoItemAnalyser, CancelledWhileWaitingForTheCheckStopsQuietly) {
    FakeRunHost h;
    HostWithItems(h, {"12345", "2"});
    ServeItem(h, "12345");
    h.Serve(SalesAddress("12345"), kSecurityAnswer);
    h.onSecurityCheck = [](FakeRunHost& host) { host.cancelled = true; };
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.armSecurity, 1);
    EXPECT_TRUE(h.finished.empty());
    EXPECT_EQ(h.table.RowCount(), 1);
}

TEST(TaobaoItemAnalyser, EmptyListEndsWithTheDownloadFailure) {
    FakeRunHost h;
    h.shop = "http://shop1.taobao.com";
    h.table.AppendRow("old");
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.table.RowCount(), 0);
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::DownloadFailed()});
    EXPECT_TRUE(h.fetched.empty());
}

TEST(TaobaoItemAnalyser, ItemPageLoopIsBoundedAndTheRunGoesOn) {
    FakeRunHost h;
    HostWithItems(h, {"404", "12345"});
    h.Serve(ItemAddress("404"), "<html>gone</html>");
    ServeItem(h, "12345");
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.FetchCount(ItemAddress("404")), kItemPageTries);
    ASSERT_EQ(h.table.RowCount(), 2);
    for (int c = 0; c < kColumnCount; ++c) {
        if (c == kSeq || c == kItemUrl || c == kItemId) {
            EXPECT_FALSE(h.Cell(0, c).empty()) << c;
        } else {
            EXPECT_EQ(h.Cell(0, c), "") << c;
        }
    }
    EXPECT_EQ(h.Cell(0, kItemUrl), "https://item.taobao.com/item.htm?id=404");
    EXPECT_EQ(h.Cell(0, kItemId), "404");
    EXPECT_EQ(h.Cell(1, kTitle), G("好物 连衣裙"));
    // The pause grows from 1 ms to at most 200 ms.
    std::vector<int> expected{1, 2, 4, 8, 16, 32, 64, 128};
    expected.resize(kItemPageTries, kItemPageMaxPauseMs);
    EXPECT_EQ(std::vector<int>(h.pauses.begin(), h.pauses.begin() + kItemPageTries), expected);
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
}

TEST(TaobaoItemAnalyser, ItemPageIsRetriedUntilItComes) {
    FakeRunHost h;
    HostWithItems(h, {"12345"});
    ServeItem(h, "12345");
    h.Serve(ItemAddress("12345"), std::vector<std::string>{"", "<title>x</title>", ItemPage("12345")});
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.FetchCount(ItemAddress("12345")), 3);
    EXPECT_EQ(h.Cell(0, kListPrice), "128.00");
}

TEST(TaobaoItemAnalyser, RowsFollowTheLinesAndEmptyLinesGetOnlyTheirNumber) {
    FakeRunHost h;
    h.shop = "http://shop1.taobao.com";
    h.state.Items.AppendLine("1");
    h.state.Items.AppendLine("");
    h.state.Items.AppendLine("3");
    ServeItem(h, "1");
    ServeItem(h, "3");
    TaobaoItemAnalyser(h);
    ASSERT_EQ(h.table.RowCount(), 3);
    EXPECT_EQ(h.Cell(0, kSeq), "1");
    EXPECT_EQ(h.Cell(1, kSeq), "2");
    EXPECT_EQ(h.Cell(2, kSeq), "3");
    EXPECT_EQ(h.Cell(1, kItemUrl), "");
    EXPECT_EQ(h.Cell(2, kItemId), "3");
    EXPECT_EQ(h.FetchCount(ItemAddress("")), 0);
}

TEST(TaobaoItemAnalyser, CancellationStopsQuietly) {
    FakeRunHost h;
    HostWithItems(h, {"1", "2", "3"});
    ServeItem(h, "1");
    ServeItem(h, "2");
    ServeItem(h, "3");
    h.cancelAfterFetches = 7;  // during the second item
    TaobaoItemAnalyser(h);
    EXPECT_EQ(h.fetched.size(), 7u);
    EXPECT_EQ(h.table.RowCount(), 2);
    EXPECT_TRUE(h.finished.empty());
}

}  // namespace
}  // namespace vantrel
