// The pure parts of the tool windows: the history answer's positional reading with its carry-over values,
// the chart points, and the request addresses of the three services.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/ItemHistory.h"
#include "tools/ShortUrl.h"
#include "tools/Speech.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"

namespace vantrel::tools {
namespace {

std::string G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

HistoryRow Row(const char* serial, const char* date, const char* price, const char* sales, std::string title) {
    return {serial, date, price, sales, std::move(title)};
}

TEST(ItemHistoryAddress, IdInsertedUnchangedWithEmptyUnderscoreKey) {
    EXPECT_EQ(ItemHistoryAddress("520013"),
              "http://" + std::string(config::ItemHistoryHost) + "/item-history/520013?_=");
    EXPECT_EQ(ItemHistoryAddress("a b"), "http://" + std::string(config::ItemHistoryHost) + "/item-history/a b?_=");
}

TEST(ParseItemHistory, TwoGroupsOfFourGiveTwoRows) {
    const std::string answer = G(R"([["2024-01-01","12900","15","连衣裙"],["2024-01-02","12990","16","连衣裙新款"]])");
    const ItemHistory h = ParseItemHistory(answer);
    EXPECT_FALSE(h.noHistory);
    ASSERT_EQ(h.rows.size(), 2u);
    EXPECT_EQ(h.rows[0], Row("1", "2024-01-01", "129", "15", G("连衣裙")));
    EXPECT_EQ(h.rows[1], Row("2", "2024-01-02", "129.9", "16", G("连衣裙新款")));
}

TEST(ParseItemHistory, RetMinusOneMeansNoHistory) {
    for (const char* answer : {"ret:-1", R"({"ret:-1","x"})", R"(["2024-01-01","100","1","t"] ret:-1)"}) {
        const ItemHistory h = ParseItemHistory(answer);
        EXPECT_TRUE(h.noHistory) << answer;
        EXPECT_TRUE(h.rows.empty()) << answer;
    }
    EXPECT_FALSE(ParseItemHistory("ret:-2").noHistory);
}

TEST(ParseItemHistory, CarryOverFillsGapsFromTheLastUsableValue) {
    struct Case {
        const char* name;
        const char* answer;
        std::vector<HistoryRow> rows;
    };
    const std::vector<Case> cases = {
        {"zero price and zero sales repeat the previous day",
         R"(["d1","250","7","A"],["d2","0","0","B"])",
         {Row("1", "d1", "2.5", "7", "A"), Row("2", "d2", "2.5", "7", "B")}},
        {"a first day without price or sales shows 0",
         R"(["d1","0","","A"],["d2","abc","-3","B"])",
         {Row("1", "d1", "0", "0", "A"), Row("2", "d2", "0", "0", "B")}},
        {"an empty or blank title repeats the previous one, the first stays empty",
         R"(["d1","100","1",""],["d2","100","1","T"],["d3","100","1","  "],["d4","100","1",""])",
         {Row("1", "d1", "1", "1", ""), Row("2", "d2", "1", "1", "T"), Row("3", "d3", "1", "1", "T"),
          Row("4", "d4", "1", "1", "T")}},
        {"a title with blanks around it is kept untrimmed",
         R"(["d1","100","1"," T "])",
         {Row("1", "d1", "1", "1", " T ")}},
        {"an empty date is shown as one blank", R"(["","1","2","T"])", {Row("1", " ", "0.01", "2", "T")}},
        {"sales text is kept as sent", R"(["d1","100","012","T"])", {Row("1", "d1", "1", "012", "T")}},
        {"every fetch starts from the start values", R"(["d1","0","0",""])", {Row("1", "d1", "0", "0", "")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseItemHistory(c.answer).rows, c.rows) << c.name;
    }
}

TEST(ParseItemHistory, IncompleteAnswersKeepTheCellsTheyGot) {
    EXPECT_TRUE(ParseItemHistory("").rows.empty());
    const ItemHistory h = ParseItemHistory(R"(["d1","100","1","T"],["d2","200")");
    ASSERT_EQ(h.rows.size(), 2u);
    EXPECT_EQ(h.rows[1], Row("2", "d2", "2", "", ""));
    // A trailing "," adds no field.
    EXPECT_EQ(ParseItemHistory(R"("d1",)").rows, std::vector<HistoryRow>{Row("1", "d1", "", "", "")});
}

TEST(ParseItemHistory, CommaInsideAQuotedTitleDoesNotShiftLaterValues) {
    const std::string answer = G(R"([["2024-03-01","9900","5","袜子,男款"],["2024-03-02","9800","6","帽子"]])");
    const ItemHistory h = ParseItemHistory(answer);
    ASSERT_EQ(h.rows.size(), 2u);
    EXPECT_EQ(h.rows[0], Row("1", "2024-03-01", "99", "5", G("袜子,男款")));
    EXPECT_EQ(h.rows[1], Row("2", "2024-03-02", "98", "6", G("帽子")));
}

TEST(SplitHistoryFields, SplitsOnlyOutsideQuotesAndWalksByCharacters) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitHistoryFields(R"("a,b","c")"), (V{R"("a,b")", R"("c")"}));
    EXPECT_EQ(SplitHistoryFields(R"("x\",y","z")"), (V{R"("x\",y")", R"("z")"}));
    EXPECT_EQ(SplitHistoryFields("a,,b,"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitHistoryFields(""), V{});
    // "\" (0x5C) as the trail byte of a GBK character must not escape the closing quote.
    const std::string withTrail = std::string("\"\x81\x5C\",\"n\"");
    EXPECT_EQ(SplitHistoryFields(withTrail), (V{"\"\x81\x5C\"", "\"n\""}));
}

TEST(FormatHistoryPrice, GeneralFormatWithThirteenSignificantDigits) {
    EXPECT_EQ(FormatHistoryPrice(129), "129");
    EXPECT_EQ(FormatHistoryPrice(129.9), "129.9");
    EXPECT_EQ(FormatHistoryPrice(0.01), "0.01");
    EXPECT_EQ(FormatHistoryPrice(12345678.91), "12345678.91");
    EXPECT_EQ(FormatHistoryPrice(1e15), "1e+15");
}

TEST(ParseHistoryDate, AcceptsCommonDateTexts) {
    const HistoryDate jan5{2024, 1, 5};
    for (const char* t : {"2024-01-05", "2024/1/5", "2024.01.05", "20240105", "2024-01-05 08:30:00", " 2024-1-05"}) {
        EXPECT_EQ(ParseHistoryDate(t), jan5) << t;
    }
    for (const char* t : {"", " ", "2024-13-01", "2023-02-29", "2024-01", "24-01-05", "2024-01/05", "2024-01-05x", "d1",
                          "1969-12-31"}) {
        EXPECT_EQ(ParseHistoryDate(t), std::nullopt) << t;
    }
    EXPECT_EQ(ParseHistoryDate("2024-02-29"), (HistoryDate{2024, 2, 29}));
}

TEST(HistoryChartSeries, PointsFollowTheShownCellsAndMarkTheFirstLowestPrice) {
    const std::vector<HistoryRow> rows = {
        Row("1", "2024-01-01", "0", "0", "t"), Row("2", "2024-01-02", "99.5", "4", "t"),
        Row("3", "2024-01-03", "89", "6", "t"), Row("4", "2024-01-04", "89", "7", "t")};
    const HistorySeries s = HistoryChartSeries(rows);
    ASSERT_EQ(s.points.size(), 4u);
    EXPECT_TRUE(s.allDated);
    EXPECT_EQ(s.lowest, 2);  // the first day's "0" is no price
    EXPECT_DOUBLE_EQ(s.points[1].price, 99.5);
    EXPECT_DOUBLE_EQ(s.points[3].sales, 7);
    EXPECT_EQ(s.points[3].serial, 4);

    const HistorySeries undated =
        HistoryChartSeries({Row("1", "d1", "1", "1", ""), Row("2", "2024-01-01", "2", "1", "")});
    EXPECT_FALSE(undated.allDated);
    EXPECT_EQ(undated.lowest, 0);
    const HistorySeries none = HistoryChartSeries({Row("1", "2024-01-01", "0", "0", "")});
    EXPECT_EQ(none.lowest, -1);
    EXPECT_FALSE(HistoryChartSeries({}).allDated);
}

TEST(ShortUrl, SchemeRuleIsCaseSensitiveOnTheFirstFourBytes) {
    EXPECT_EQ(WithHttpScheme("example.com/a"), "http://example.com/a");
    EXPECT_EQ(WithHttpScheme("http://x"), "http://x");
    EXPECT_EQ(WithHttpScheme("https://x"), "https://x");
    EXPECT_EQ(WithHttpScheme("httpx"), "httpx");
    EXPECT_EQ(WithHttpScheme("HTTP://X"), "http://HTTP://X");
    EXPECT_EQ(WithHttpScheme("htt"), "http://htt");
}

TEST(ShortUrl, RequestEncodesTheLongAddressAsGbkBytes) {
    const std::string base = "http://" + std::string(config::ShortUrlServiceHost) + "/tools/curl.php?uu=";
    EXPECT_EQ(ShortUrlRequestAddress("http://shop.example.com/a b/c~d"),
              base + "http%3A%2F%2Fshop.example.com%2Fa%20b%2Fc%7Ed");
    EXPECT_EQ(ShortUrlRequestAddress(G("http://x/中")), base + "http%3A%2F%2Fx%2F%D6%D0");
}

TEST(ShortUrl, LinkIsCutFromTheAnswerAfterThePrefix) {
    const std::string prefix(config::ShortLinkPrefix);
    EXPECT_EQ(ShortLinkFromAnswer(R"([{"url_short":")" + prefix + R"(Ab3x","type":0}])"), prefix + "Ab3x");
    EXPECT_EQ(ShortLinkFromAnswer("x " + prefix + "tail"), prefix + "tail");  // no closing quote: the rest
    EXPECT_EQ(ShortLinkFromAnswer("{\"error\":\"bad\"}"), std::nullopt);
    EXPECT_EQ(ShortLinkFromAnswer(""), std::nullopt);
}

TEST(Speech, RequestKeepsKeyOrderAndEncodesTheTextAsUtf8) {
    const std::string base = "http://" + std::string(config::SpeechServiceHost) + "/text2audio?lan=zh&ie=UTF-8&text=";
    EXPECT_EQ(SpeechRequestAddress(G("你好")), base + "%E4%BD%A0%E5%A5%BD");
    EXPECT_EQ(SpeechRequestAddress("a b"), base + "a%20b");
    EXPECT_EQ(SpeechRequestAddress("a&b=c#d"), base + "a&b=c#d");
    EXPECT_EQ(SpeechRequestAddress(WithCrLfLineBreaks("a\nb")), base + "a%0D%0Ab");
}

TEST(Speech, LineBreaksBecomeCrLfOnce) {
    EXPECT_EQ(WithCrLfLineBreaks("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(WithCrLfLineBreaks("\n"), "\r\n");
    EXPECT_EQ(WithCrLfLineBreaks(""), "");
}

}  // namespace
}  // namespace vantrel::tools
