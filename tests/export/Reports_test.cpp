#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "export/Reports.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"

namespace vantrel {
namespace {

std::string G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

// A row whose every cell names its column ("c1" .. "c14"), with seq as given.
void AppendNamedRow(ResultTable& t, const std::string& seq, const std::string& prefix = "c") {
    const int r = t.AppendRow(seq);
    for (int c = 1; c < kColumnCount; ++c) {
        t.SetCell(r, c, prefix + std::to_string(c));
    }
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2) {
        lines.push_back(text.substr(start, p - start));
    }
    EXPECT_EQ(start, text.size()) << "text must end with CR LF";
    return lines;
}

TEST(ExportLayout, ChosenByTheExactTaobaoMark) {
    EXPECT_EQ(ExportLayoutFor("http://shop1.taobao.com"), ExportLayout::Taobao);
    EXPECT_EQ(ExportLayoutFor("http://x.tmall.com"), ExportLayout::Tmall);
    EXPECT_EQ(ExportLayoutFor("http://SHOP1.TAOBAO.COM"), ExportLayout::Tmall);
    EXPECT_EQ(ExportLayoutFor(""), ExportLayout::Tmall);
}

TEST(Csv, TaobaoLayoutTwoRowsGiveThreeLines) {
    ResultTable t;
    AppendNamedRow(t, "1");
    AppendNamedRow(t, "2", "d");
    const std::string csv = BuildCsv(t, ExportLayout::Taobao);
    const auto lines = CrLfLines(csv);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              G("序号,标题,摆价,售价,历史最低价,收藏量,月成交量,月收货量,评价数,网址,上新时间,发布时间,下架时间"));
    EXPECT_EQ(lines[1], "1,c1,c2,c3,c4,c5,c6,c7,c8,c9,c12,c13,c14");
    EXPECT_EQ(lines[2], "2,d1,d2,d3,d4,d5,d6,d7,d8,d9,d12,d13,d14");
}

TEST(Csv, TmallLayoutLeavesOutTheThirtyDayAndListedColumns) {
    ResultTable t;
    AppendNamedRow(t, "1");
    EXPECT_EQ(BuildCsv(t, ExportLayout::Tmall),
              G("序号,标题,摆价,售价,历史最低价,收藏量,评价数,网址,发布时间,下架时间\r\n") +
                  "1,c1,c2,c3,c4,c5,c8,c9,c13,c14\r\n");
}

TEST(Csv, EmptyTableIsTheHeaderAlone) {
    EXPECT_EQ(CrLfLines(BuildCsv(ResultTable{}, ExportLayout::Tmall)).size(), 1u);
}

TEST(Csv, OnlyFieldsThatNeedItAreQuoted) {
    struct Case {
        std::string title;
        std::string field;
    };
    const std::vector<Case> cases = {
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line1\r\nline2", "\"line1\r\nline2\""},
        {"cr\ronly", "\"cr\ronly\""},
        {"lf\nonly", "\"lf\nonly\""},
        {G("店铺 「新品」 ;'x'"), G("店铺 「新品」 ;'x'")},
        {"", ""},
    };
    for (const auto& c : cases) {
        ResultTable t;
        t.AppendRow("1");
        t.SetCell(0, kTitle, c.title);
        t.SetCell(0, kItemUrl, "u");
        const std::string csv = BuildCsv(t, ExportLayout::Tmall);
        const std::string body = csv.substr(csv.find("\r\n") + 2);
        EXPECT_EQ(body, "1," + c.field + ",,,,,,u,,\r\n") << c.title;
    }
}

TEST(Csv, EmptyCellGivesAdjacentCommas) {
    ResultTable t;
    AppendNamedRow(t, "1");
    t.SetCell(0, kSalePrice, "");
    t.SetCell(0, kLowestPrice, "");
    const auto lines = CrLfLines(BuildCsv(t, ExportLayout::Taobao));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "1,c1,c2,,,c5,c6,c7,c8,c9,c12,c13,c14");
}

// The whole Taobao page for two rows, byte for byte.
TEST(HtmlReport, TaobaoTemplateWithTwoRows) {
    ResultTable t;
    AppendNamedRow(t, "1");
    AppendNamedRow(t, "2", "d");
    const std::string expected =
        G("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
          "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n"
          "<head>\r\n"
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\r\n"
          "<title>Vantrel 小店 Kestrum") +
        std::string(config::MakerSiteHost) +
        G("</title>\r\n"
          "<style>\r\n"
          "img{height:200px; width:200px}\r\n"
          "tr td{text-align:center;}\r\n"
          "</style>\r\n"
          "</head>\r\n"
          "\r\n"
          "<body>\r\n"
          "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"0\">\r\n"
          "  <tr bgcolor=\"#FFFFCC\">\r\n"
          "    <td>序号</td>\r\n"
          "    <td>主图</td>\r\n"
          "    <td>标题</td>\r\n"
          "    <td>摆价</td>\r\n"
          "    <td>售价</td>\r\n"
          "    <td>历史最低价</td>\r\n"
          "    <td>收藏量</td>\r\n"
          "    <td>30天成交</td>\r\n"
          "    <td>30天收货</td>\r\n"
          "    <td>评价数</td>\r\n"
          "    <td>上新时间</td>\r\n"
          "    <td>发布时间</td>\r\n"
          "    <td>下架时间</td>\r\n"
          "  </tr>\r\n"
          "  <tr><td>1</td><td><a href=\"c9\" target=\"_blank\"><img src=\"c10\" alt=\"Vantrel\" /></a></td>"
          "<td>c1</td><td>c2</td><td>c3</td><td>c4</td><td>c5</td><td>c6</td><td>c7</td><td>c8</td><td>c12</td>"
          "<td>c13</td><td>c14</td></tr>"
          "<tr><td>2</td><td><a href=\"d9\" target=\"_blank\"><img src=\"d10\" alt=\"Vantrel\" /></a></td>"
          "<td>d1</td><td>d2</td><td>d3</td><td>d4</td><td>d5</td><td>d6</td><td>d7</td><td>d8</td><td>d12</td>"
          "<td>d13</td><td>d14</td></tr>\r\n"
          "</table>\r\n"
          "</body>\r\n"
          "</html>\r\n"
          "\r\n");
    EXPECT_EQ(BuildHtmlReport(t, ExportLayout::Taobao, G("小店")), expected);
}

TEST(HtmlReport, TmallTemplateEndsWithoutLineEnd) {
    ResultTable t;
    AppendNamedRow(t, "1");
    const std::string page = BuildHtmlReport(t, ExportLayout::Tmall, "S");
    const std::string headers =
        G("  <tr bgcolor=\"#FFFFCC\">\r\n"
          "    <td>序号</td>\r\n"
          "    <td>主图</td>\r\n"
          "    <td>标题</td>\r\n"
          "    <td>摆价</td>\r\n"
          "    <td>售价</td>\r\n"
          "    <td>历史最低价</td>\r\n"
          "    <td>收藏量</td>\r\n"
          "    <td>评价数</td>\r\n"
          "    <td>发布时间</td>\r\n"
          "    <td>下架时间</td>\r\n"
          "  </tr>\r\n");
    const std::string rowAndEnd =
        "  <tr><td>1</td><td><a href=\"c9\" target=\"_blank\"><img src=\"c10\" alt=\"Vantrel\" /></a></td>"
        "<td>c1</td><td>c2</td><td>c3</td><td>c4</td><td>c5</td><td>c8</td><td>c13</td><td>c14</td></tr>\r\n"
        "</table>\r\n</body>\r\n</html>";
    EXPECT_NE(page.find(headers + rowAndEnd), std::string::npos);
    EXPECT_TRUE(page.ends_with(rowAndEnd));
    EXPECT_NE(page.find("<title>Vantrel S Kestrum" + std::string(config::MakerSiteHost) + "</title>\r\n"),
              std::string::npos);
}

std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) {
        ++n;
    }
    return n;
}

TEST(HtmlReport, CellsPerRowFollowTheLayout) {
    ResultTable t;
    AppendNamedRow(t, "1");
    for (auto [layout, cells] : {std::pair{ExportLayout::Taobao, 13u}, std::pair{ExportLayout::Tmall, 10u}}) {
        const std::string page = BuildHtmlReport(t, layout, "S");
        const std::size_t start = page.find("<tr><td>");
        ASSERT_NE(start, std::string::npos);
        const std::string row = page.substr(start, page.find("</tr>", start) - start);
        EXPECT_EQ(CountOf(row, "<td>"), cells);
    }
}

TEST(HtmlReport, RowsAreNumberedInListOrderWhateverTheirSeqCells) {
    ResultTable t;
    AppendNamedRow(t, "7");
    AppendNamedRow(t, "7");
    AppendNamedRow(t, "");
    const std::string page = BuildHtmlReport(t, ExportLayout::Tmall, "S");
    const std::size_t one = page.find("<tr><td>1</td>");
    const std::size_t two = page.find("<tr><td>2</td>");
    const std::size_t three = page.find("<tr><td>3</td>");
    ASSERT_NE(three, std::string::npos);
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
    EXPECT_EQ(page.find("<tr><td>7</td>"), std::string::npos);
}

TEST(HtmlReport, CellsAndTitleCannotInjectMarkup) {
    ResultTable t;
    t.AppendRow("1");
    t.SetCell(0, kTitle, "<script>x</script> A&amp;B \"q\"");
    t.SetCell(0, kItemUrl, "http://i/\" onclick=\"x");
    t.SetCell(0, kImageUrl, "http://p/a.jpg\"><b>");
    t.SetCell(0, kReviews, "<i>5</i>");
    const std::string page = BuildHtmlReport(t, ExportLayout::Tmall, "<b>S&amp;T</b>");
    EXPECT_NE(page.find("<title>Vantrel &lt;b&gt;S&amp;T&lt;/b&gt; Kestrum"), std::string::npos);
    EXPECT_NE(page.find("<td>&lt;script&gt;x&lt;/script&gt; A&amp;B \"q\"</td>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"http://i/&quot; onclick=&quot;x\" target"), std::string::npos);
    EXPECT_NE(page.find("<img src=\"http://p/a.jpg&quot;&gt;&lt;b&gt;\" alt"), std::string::npos);
    EXPECT_NE(page.find("<td>&lt;i&gt;5&lt;/i&gt;</td>"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST(HtmlReport, GbkCellsAreCopiedUnchanged) {
    ResultTable t;
    t.AppendRow("1");
    // "\x81\x5C" and "\x81\x7C" are characters whose second byte is "\" or "|".
    const std::string title = G("连衣裙") + "\x81\x5C\x81\x7C";
    t.SetCell(0, kTitle, title);
    EXPECT_NE(BuildHtmlReport(t, ExportLayout::Taobao, title).find("<td>" + title + "</td>"), std::string::npos);
}

TEST(ReportTitle, ShopNameFromThePageElseTheHostLabel) {
    struct Case {
        std::string page;
        std::string address;
        std::string title;
    };
    const std::vector<Case> cases = {
        {G("<title>首页-好运小店-淘宝网</title>"), "http://shop1.taobao.com", G("好运小店")},
        {G("<title>首页-好运小店</title>"), "http://shop1.taobao.com", G("好运小店</title>")},
        {"<title>nothing</title>", "http://shop1.taobao.com", "shop1"},
        {"", "http://mall2.tmall.com:8080", "mall2"},
        {"", "shop1.taobao.com", ""},
        {G("首页"), "http://shop1.taobao.com/x", "shop1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReportTitleFor(c.page, c.address), c.title) << GbkToUtf8(c.page) << " | " << c.address;
    }
}

TEST(ReportFileName, NamesCannotLeaveTheFolder) {
    struct Case {
        std::string title;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"shop1", "shop1.html"},
        {"../x", "___x.html"},
        {"..", "__.html"},
        {"a/b", "a_b.html"},
        {"a\\b", "a_b.html"},
        {"", "_.html"},
        {".hidden", "_hidden.html"},
        {"a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h.html"},
        {std::string("tab\tnul") + '\0' + "del\x7F", "tab_nul_del_.html"},
        {G("好运小店"), G("好运小店") + ".html"},
        // Trail bytes "\" and "|" belong to their characters and are kept.
        {"\x81\x5C\x81\x7C", "\x81\x5C\x81\x7C.html"},
        // A lead byte followed by "/" is no character: both bytes are judged alone.
        {"\x81/x", "__x.html"},
        {"end\x81", "end_.html"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReportFileName(c.title), c.name) << c.title;
    }
}

TEST(ReportFileName, LongTitlesAreCutBetweenCharacters) {
    const std::string title = "x" + [] {
        std::string s;
        for (int i = 0; i < 200; ++i) {
            s += G("店");
        }
        return s;
    }();
    const std::string name = ReportFileName(title);
    ASSERT_TRUE(name.ends_with(".html"));
    const std::string stem = name.substr(0, name.size() - 5);
    EXPECT_LE(stem.size(), 160u);
    EXPECT_EQ(stem.size() % 2, 1u) << "a double-byte character was split";
    EXPECT_EQ(
        GbkToUtf8(stem), "x" + [&] {
            std::string s;
            for (std::size_t i = 0; i < (stem.size() - 1) / 2; ++i) {
                s += "店";
            }
            return s;
        }());
}

TEST(ReportFilePath, StaysInTheFolderWithAUtf8Name) {
    const std::filesystem::path folder = "/data/vantrel";
    for (const std::string title : {"../../etc/passwd", "/abs", "a/../../b", "", "\x81/..", "."}) {
        const auto path = ReportFilePath(folder, title);
        EXPECT_EQ(path.parent_path(), folder) << title;
        EXPECT_NE(path.filename().string().front(), '.') << title;
    }
    EXPECT_EQ(ReportFilePath(folder, G("好运小店")).filename().string(), "好运小店.html");
}

}  // namespace
}  // namespace vantrel
