#include <gtest/gtest.h>

#include "analysis/ItemAnalysers.h"
#include "analysis/ResultTable.h"
#include "crawl/FakeRunHost.h"
#include "run/RunController.h"

namespace vantrel {
namespace {

using fake::CounterAddress;
using fake::FakeRunHost;
using fake::G;
using fake::PriceAddress;

std::string Line(const std::string& id) {
    return "http://detail.tmall.com/item.htm?id=" + id;
}
std::string SalesAddress(const std::string& query) {
    return "http://detailskip.taobao.com/json/ifq.htm?" + query;
}
std::string ReviewAddress(const std::string& id, const std::string& spu) {
    return "http://dsr-rate.tmall.com/list_dsr_info.htm?itemId=" + id + "&spuId=" + spu + "&callback=jsonp160";
}

std::string ItemPage(const std::string& id, const std::string& date = "1451234567000",
                     const std::string& salesTail = "\",") {
    std::string s = G("<html><head><title>好物 天猫款-tmall.com天猫</title></head><body>\r\n");
    s += "<script>TShop.Setup({\"itemDO\":{\"defaultItemPrice\":\" 99.00 \",\"spuId\":\"456\",\"x\":1},\r\n";
    s += "\"counterApi\":\"//count.taobao.com/counter3?keys=ICCP_1_" + id + ",SM_368_dsr-1\",\r\n";
    s += "\"initApi\":\"//detailskip.taobao.com/json/ifq.htm?id=" + id + "&sid=5" + salesTail + "\r\n";
    s += "});</script>\r\n";
    s += "<ul id=\"J_UlThumb\"><li><img src=\"//img.example.com/i1/" + id + ".jpg_60x60q90.jpg\"></li></ul>\r\n";
    if (!date.empty()) {
        s += "<img src=\"//log.example.com/x.gif?date=" + date + "&r=1\">\r\n";
    }
    s += "</body></html>";
    return s;
}

void ServeItem(FakeRunHost& h, const std::string& id, const std::string& date = "1451234567000") {
    h.Serve(Line(id), ItemPage(id, date));
    h.Serve(CounterAddress(id), "json({\"ICCP_1_" + id + "\":12});");
    h.Serve(SalesAddress("id=" + id + "&sid=5"), "jsonp({quanity: 52, confirmGoods: 40})");
    h.Serve(ReviewAddress(id, "456"), "jsonp160({\"dsr\":{\"gradeAvg\":4.8,\"rateTotal\":789}})");
    h.Serve(PriceAddress(id), G("<p>当前价：<b>88.00</b></p><p>最低价：<span>66.00</span></p>"));
}

void HostWithLines(FakeRunHost& h, const std::vector<std::string>& lines) {
    h.shop = "http://shop2.tmall.com";
    for (const auto& l : lines) {
        h.state.Items.AppendLine(l);
    }
}

TEST(TmallItemAnalyser, FillsEveryCellInTheSpecifiedOrder) {
    FakeRunHost h;
    HostWithLines(h, {Line("123")});
    ServeItem(h, "123");
    TmallItemAnalyser(h);
    ASSERT_EQ(h.table.RowCount(), 1);
    EXPECT_EQ(h.Cell(0, kSeq), "1");
    EXPECT_EQ(h.Cell(0, kTitle), G("好物 天猫款"));
    EXPECT_EQ(h.Cell(0, kListPrice), "99.00");
    EXPECT_EQ(h.Cell(0, kSalePrice), "88.00");
    EXPECT_EQ(h.Cell(0, kLowestPrice), "66.00");
    EXPECT_EQ(h.Cell(0, kFavourites), "12");
    EXPECT_EQ(h.Cell(0, kDeals30d), "52");
    EXPECT_EQ(h.Cell(0, kReceipts30d), "40");
    EXPECT_EQ(h.Cell(0, kReviews), "789");
    EXPECT_EQ(h.Cell(0, kItemUrl), "https://detail.tmall.com/item.htm?id=123");
    EXPECT_EQ(h.Cell(0, kImageUrl), "http://img.example.com/i1/123.jpg");
    EXPECT_EQ(h.Cell(0, kItemId), "123");
    EXPECT_EQ(h.Cell(0, kListedAt), "-");
    EXPECT_EQ(h.Cell(0, kPublishedAt), "2015-12-27 16:42:47");
    EXPECT_EQ(h.Cell(0, kDelistAt), "2016-01-03 16:42:47");
    EXPECT_EQ(h.cellOrder, (std::vector<int>{1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 3, 4}));
    EXPECT_EQ(h.fetched, (std::vector<std::string>{Line("123"), CounterAddress("123"), SalesAddress("id=123&sid=5"),
                                                   ReviewAddress("123", "456"), PriceAddress("123")}));
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
    EXPECT_EQ(h.armSecurity, 0);
    ASSERT_EQ(h.progress.size(), 1u);
    EXPECT_EQ(h.progress[0].detail, "123");
}

TEST(TmallItemAnalyser, DateWithZerosInItsSecondsIsReadWhole) {
    FakeRunHost h;
    HostWithLines(h, {Line("123")});
    ServeItem(h, "123", "1451606400000");
    TmallItemAnalyser(h);
    EXPECT_EQ(h.Cell(0, kPublishedAt), "2016-01-01 00:00:00");
    EXPECT_EQ(h.Cell(0, kDelistAt), "2016-01-08 00:00:00");
}

TEST(TmallItemAnalyser, HostileDatesStayBounded) {
    for (const char* date : {"99999999999999999999999", "-99999999999999999999999", "1e999", "abc"}) {
        FakeRunHost h;
        HostWithLines(h, {Line("123")});
        ServeItem(h, "123", date);
        TmallItemAnalyser(h);
        EXPECT_FALSE(h.Cell(0, kPublishedAt).empty()) << date;
        EXPECT_FALSE(h.Cell(0, kDelistAt).empty()) << date;
        EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()}) << date;
    }
}

TEST(TmallItemAnalyser, WithoutDateTheTimeCellsStayEmpty) {
    FakeRunHost h;
    HostWithLines(h, {Line("123")});
    ServeItem(h, "123", "");
    TmallItemAnalyser(h);
    EXPECT_EQ(h.Cell(0, kListedAt), "-");
    EXPECT_EQ(h.Cell(0, kPublishedAt), "");
    EXPECT_EQ(h.Cell(0, kDelistAt), "");
}

TEST(TmallItemAnalyser, SalesQueryEndsAtTheFirstDelimiterByCharacters) {
    struct Case {
        std::string tail;   // what follows "&sid=5" in the page (its quotes are deleted before the cut)
        std::string query;  // the query asked for
    };
    const std::vector<Case> cases{
        {"\",", "id=123&sid=5"},
        {" x", "id=123&sid=5"},
        {"<x", "id=123&sid=5"},
        {">x", "id=123&sid=5"},
        {"'x", "id=123&sid=5"},
        {"}x", "id=123&sid=5"},
        {")x", "id=123&sid=5"},
        // A GBK character whose trail byte is "}" does not end the query.
        {"&t=\x81}z)", "id=123&sid=5&t=\x81}z"},
    };
    for (const auto& c : cases) {
        FakeRunHost h;
        HostWithLines(h, {Line("123")});
        ServeItem(h, "123");
        h.Serve(Line("123"), ItemPage("123", "1451234567000", c.tail));
        h.Serve(SalesAddress(c.query), "jsonp({quanity: 3, confirmGoods: 2})");
        TmallItemAnalyser(h);
        EXPECT_EQ(h.FetchCount(SalesAddress(c.query)), 1) << c.tail;
        EXPECT_EQ(h.Cell(0, kDeals30d), "3") << c.tail;
    }
}

TEST(TmallItemAnalyser, SalesQueryAtTheEndOfThePageRunsToTheEnd) {
    FakeRunHost h;
    HostWithLines(h, {Line("9")});
    h.Serve(Line("9"), "<title>t-tmall.com</title>detailskip.taobao.com/json/ifq.htm?id=9&q=1");
    TmallItemAnalyser(h);
    EXPECT_EQ(h.FetchCount(SalesAddress("id=9&q=1")), 1);
}

TEST(TmallItemAnalyser, PageWithoutMarkersStillHasItsAddressIdAndDash) {
    FakeRunHost h;
    HostWithLines(h, {Line("7")});
    h.Serve(Line("7"), "<html>-tmall.com</html>");
    TmallItemAnalyser(h);
    for (int c = 0; c < kColumnCount; ++c) {
        if (c == kSeq || c == kItemUrl || c == kItemId || c == kListedAt) {
            EXPECT_FALSE(h.Cell(0, c).empty()) << c;
        } else {
            EXPECT_EQ(h.Cell(0, c), "") << c;
        }
    }
    EXPECT_EQ(h.Cell(0, kListedAt), "-");
}

TEST(TmallItemAnalyser, ItemPageLoopIsBoundedAndTheRunGoesOn) {
    FakeRunHost h;
    HostWithLines(h, {Line("404"), Line("123")});
    ServeItem(h, "123");
    TmallItemAnalyser(h);
    EXPECT_EQ(h.FetchCount(Line("404")), kItemPageTries);
    ASSERT_EQ(h.table.RowCount(), 2);
    EXPECT_EQ(h.Cell(0, kItemUrl), "https://detail.tmall.com/item.htm?id=404");
    EXPECT_EQ(h.Cell(0, kItemId), "404");
    EXPECT_EQ(h.Cell(0, kListedAt), "-");
    EXPECT_EQ(h.Cell(0, kTitle), "");
    EXPECT_EQ(h.Cell(0, kSalePrice), "");
    EXPECT_EQ(h.Cell(1, kTitle), G("好物 天猫款"));
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::Finished()});
}

TEST(TmallItemAnalyser, LineWithoutIdIsNotFetchedAndDoesNotReuseAnId) {
    FakeRunHost h;
    HostWithLines(h, {Line("123"), "4567", Line("8")});
    ServeItem(h, "123");
    ServeItem(h, "8");
    TmallItemAnalyser(h);
    ASSERT_EQ(h.table.RowCount(), 3);
    EXPECT_EQ(h.Cell(1, kSeq), "2");
    EXPECT_EQ(h.Cell(1, kListedAt), "-");
    EXPECT_EQ(h.Cell(1, kItemId), "");
    EXPECT_EQ(h.Cell(1, kItemUrl), "");
    EXPECT_EQ(h.FetchCount("4567"), 0);
    EXPECT_EQ(h.FetchCount(PriceAddress("123")), 1);
    EXPECT_EQ(h.Cell(2, kItemId), "8");
}

TEST(TmallItemAnalyser, EmptyListEndsWithTheDownloadFailure) {
    FakeRunHost h;
    h.state.Items.AppendLine("x");
    h.state.Items.Clear();
    TmallItemAnalyser(h);
    EXPECT_EQ(h.finished, std::vector<std::string>{texts::DownloadFailed()});
    EXPECT_EQ(h.table.RowCount(), 0);
}

TEST(TmallItemAnalyser, CancellationStopsQuietly) {
    FakeRunHost h;
    HostWithLines(h, {Line("1"), Line("2")});
    ServeItem(h, "1");
    ServeItem(h, "2");
    h.cancelAfterFetches = 3;
    TmallItemAnalyser(h);
    EXPECT_EQ(h.fetched.size(), 3u);
    EXPECT_EQ(h.table.RowCount(), 1);
    EXPECT_TRUE(h.finished.empty());
}

}  // namespace
}  // namespace vantrel
