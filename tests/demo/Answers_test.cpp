// The demo marketplace over HTTP: the bytes of its answers, the listing cuts, the login wall, the security check
// and the faults.
#include <gtest/gtest.h>

#include <memory>

#include "DemoClient.h"
#include "DemoTestSupport.h"
#include "Embedded.h"
#include "Market.h"

namespace vantrel::demo {
namespace {

using testing::Between;
using testing::Client;
using testing::FindItemOf;
using testing::G;
using testing::LinkedIds;
using testing::Reply;

class DemoAnswers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        market_ = new DemoMarket();
        ASSERT_TRUE(market_->start());
    }
    static void TearDownTestSuite() {
        delete market_;
        market_ = nullptr;
    }
    const Catalogue& cat() const { return market_->catalogue(); }
    Reply Get(const std::string& address) { return Client(market_->port()).Get(address); }

    static DemoMarket* market_;
};

DemoMarket* DemoAnswers::market_ = nullptr;

bool Complete(const Item& i) {
    return i.missing == 0;
}

struct Case {
    std::string name;
    std::string address;
    long status;
    std::string contentType;
    bool gbk;                          // markers are given in UTF-8 and looked for as GBK bytes
    std::vector<std::string> present;  // every one must occur
    std::vector<std::string> absent;   // none may occur
};

TEST_F(DemoAnswers, PagesAndCountersCarryTheirMarkersByteForByte) {
    const Item& tb =
        FindItemOf(cat(), ShopKind::TaobaoAsync, [](const Item& i) { return Complete(i) && i.index % 2 == 0; });
    const Item& tbOdd =
        FindItemOf(cat(), ShopKind::TaobaoSearch, [](const Item& i) { return Complete(i) && i.index % 2; });
    const Item& tm = FindItemOf(cat(), ShopKind::TmallMain, Complete);
    const Item& hk = FindItemOf(cat(), ShopKind::TmallGlobal, Complete);
    const Item& none = FindItemOf(cat(), ShopKind::TaobaoAsync, [](const Item& i) { return i.lowestPrice == "'无'"; });
    const Item& noHistory =
        FindItemOf(cat(), ShopKind::TmallMain, [](const Item& i) { return i.historyStyle == HistoryStyle::NoHistory; });
    const Shop& async = cat().ShopOf(ShopKind::TaobaoAsync);
    const Shop& mall = cat().ShopOf(ShopKind::TmallMain);
    const Shop& redirect = cat().ShopOf(ShopKind::TmallRedirect);
    const std::string gbkHtml = "text/html; charset=gbk";
    const std::string js = "application/javascript; charset=gbk";
    const std::string json = "application/json; charset=utf-8";
    const std::string longGbk = G("http://item.taobao.com/item.htm?id=1 你好");

    const std::vector<Case> cases = {
        {"taobao item",
         "http://item.taobao.com/item.htm?id=" + tb.id,
         200,
         gbkHtml,
         true,
         {"<title>" + tb.title + "-淘宝网</title>", "tb-rmb-num\">" + tb.listPrice + "<", "ICCP_1_" + tb.id + ",",
          "\"//detailskip.taobao.com/json/ifq.htm?stm=" + std::to_string(tb.nowMs) + "&id=" + tb.id, "&ct=1\",",
          "rateCounterApi:\"//rate.taobao.com/detailCount.do?itemId=" + tb.id + "\",",
          "<div class=\"tb-pic tb-s50\"><a href=\"#\"><img data-src=\"//" + tb.imagePath + "_50x50.jpg\"",
          "dbst : " + std::to_string(tb.listedMs) + ",", "{\"now\":" + std::to_string(tb.nowMs) + ","},
         {"rateCounterApi   :"}},
        {"taobao item, other spellings",
         "http://item.taobao.com/item.htm?id=" + tbOdd.id,
         200,
         gbkHtml,
         true,
         {"rateCounterApi   : '//rate.taobao.com/detailCount.do?itemId=" + tbOdd.id + "',",
          "wholeSibUrl: '//detailskip.taobao.com/json/ifq.htm?"},
         {"rateCounterApi:"}},
        {"tmall item",
         "http://detail.tmall.com/item.htm?id=" + tm.id,
         200,
         gbkHtml,
         true,
         {"<title>" + tm.title + "-tmall.com天猫</title>", "\"defaultItemPrice\": \"" + tm.listPrice + "\" ,",
          "ICCP_1_" + tm.id + ",", "\"//detailskip.taobao.com/json/ifq.htm?id=" + tm.id + "&sid=",
          "\",\"initCspuExtraApi\":\"//detailskip.taobao.com/json/ifq.htm?id=" + tm.id, "\"spuId\":" + tm.spuId + ",",
          "<ul id=\"J_UlThumb\"", "<img src=\"//" + tm.imagePath + "_60x60q90.jpg\"",
          "date=" + std::to_string(tm.listedMs) + "\""},
         {"update", "-淘宝网"}},
        {"tmall.hk item",
         "http://detail.tmall.hk/hk/item.htm?id=" + hk.id,
         200,
         gbkHtml,
         true,
         {"<title>" + hk.title + "-tmall.hk天猫国际</title>"},
         {}},
        {"tmall item on the other domain",
         "http://detail.tmall.com/item.htm?id=" + hk.id,
         404,
         gbkHtml,
         true,
         {},
         {"-tmall."}},
        {"unknown item",
         "http://item.taobao.com/item.htm?id=599999999999",
         404,
         gbkHtml,
         true,
         {"宝贝不存在"},
         {"-淘宝网</title>"}},
        {"favourites",
         "http://count.taobao.com/counter3?keys=ICCP_1_" + tb.id + "&callback=json",
         200,
         js,
         false,
         {"json({\"ICCP_1_" + tb.id + "\":" + tb.favourites + "});"},
         {}},
        {"sales",
         "http://detailskip.taobao.com/json/ifq.htm?stm=1&id=" + tb.id + "&sid=1&q=1",
         200,
         js,
         false,
         {"\t\tquanity:\t" + tb.deals30d + ",\r\n", "\t\tconfirmGoods:\t" + tb.receipts30d + "},"},
         {"\"quanity\""}},
        {"sales, quote-less address of a tmall page",
         "http://detailskip.taobao.com/json/ifq.htm?id=" + tm.id + "&sid=2&q=1,initCspuExtraApi://",
         200,
         js,
         false,
         {"quanity:\t" + tm.deals30d + ","},
         {}},
        {"reviews",
         "http://rate.taobao.com/detailCount.do?itemId=" + tb.id + "&callback=jsonp120",
         200,
         js,
         false,
         {"jsonp120({\"count\":{\"" + tb.id + "\":" + tb.reviews + "}})"},
         {}},
        {"review summary",
         "http://dsr-rate.tmall.com/list_dsr_info.htm?itemId=" + tm.id + "&spuId=" + tm.spuId + "&callback=jsonp160",
         200,
         js,
         false,
         {"jsonp160({\"dsr\":{", ",\"rateTotal\":" + tm.reviews + ",", "\"spuId\":" + tm.spuId + ","},
         {}},
        {"price history",
         "http://price-history.invalid/price/?id=" + tb.id,
         200,
         gbkHtml,
         true,
         {"当前价：<b>" + tb.salePrice + "</b>", "最低价：<span>" + tb.lowestPrice + "</span>"},
         {}},
        {"price history without lowest price",
         "http://price-history.invalid/price/?id=" + none.id,
         200,
         gbkHtml,
         true,
         {"最低价：<span>'无'</span>"},
         {}},
        {"item history, none",
         "http://item-history.invalid/item-history/" + noHistory.id + "?_=",
         200,
         json,
         false,
         {"ret:-1"},
         {"[\""}},
        {"short link",
         "http://short-link.invalid/tools/curl.php?uu=" + UrlEncodeGbk(longGbk),
         200,
         json,
         false,
         {Catalogue::ShortLinkFor(longGbk) + "\"", "\"url_long\":\"http://item.taobao.com/item.htm?id=1 你好\""},
         {}},
        {"short link failing",
         "http://short-link.invalid/tools/curl.php?uu=http%3A%2F%2Ffail.example%2F",
         200,
         json,
         false,
         {"\"result\":false"},
         {"http://t.cn/"}},
        {"shop home",
         "http://asyn-shop.taobao.com/",
         200,
         gbkHtml,
         true,
         {"<title>首页-小蜜蜂家居生活馆-淘宝网</title>"},
         {}},
        {"shop home without the name", "http://global-shop.tmall.hk/", 200, gbkHtml, true, {"<title>"}, {"首页-"}},
        {"taobao search page",
         "http://search-shop.taobao.com/search.htm?orderType=hotsell_desc",
         200,
         gbkHtml,
         true,
         {"<span class=\"page-info\">1/2</span>",
          "item.htm?id=" + cat().ItemsOf(cat().ShopOf(ShopKind::TaobaoSearch))[0]->id + "&scene=taobao_shop\"",
          "&amp;on_comment=1\"", "&pageNo=2\""},
         {"?mid=w", "pageNum"}},
        {"search page without pageNo",
         "http://pagenum-shop.taobao.com/search.htm?orderType=hotsell_desc",
         200,
         gbkHtml,
         true,
         {"<span class=\"page-info\">1/2</span>", "&pageNum=2\""},
         {"pageNo"}},
        {"search page of the asynchronous shop",
         async.searchAddress,
         200,
         gbkHtml,
         true,
         {"/i/asynSearch.htm?mid=w-" + async.key + "-0&wid="},
         {}},
        {"taobao asynchronous answer",
         "http://asyn-shop.taobao.com/i/asynSearch.htm?path=/search.htm&search=y&pageNo=1&mid=w-" + async.key + "-0",
         200,
         gbkHtml,
         true,
         {"<span class=\\\"page-info\\\">1/3</span>", "\\\">下一页</a>", "&scene=taobao_shop\\\""},
         {"&amp;on_comment", "&amp;scene", "page-info\">"}},
        {"taobao asynchronous answer, wrong key",
         "http://asyn-shop.taobao.com/i/asynSearch.htm?path=/search.htm&search=y&pageNo=1&mid=w-1-0",
         200,
         gbkHtml,
         true,
         {"没有找到"},
         {"item.htm?id="}},
        {"tmall search page",
         mall.searchAddress,
         200,
         gbkHtml,
         true,
         {"?mid=w-" + mall.key + "-0&", "<b class=\"ui-page-s-len\">1/3</b>", "\">上一页</a>",
          "//detail.tmall.com/item.htm?id=" + cat().ItemsOf(mall)[1]->id + "&"},
         {}},
        {"tmall asynchronous answer page 2",
         "http://mall-shop.tmall.com/i/asynSearch.htm?mid=w-" + mall.key + "-0&path=/search.htm&&search=y&pageNo=2",
         200,
         gbkHtml,
         true,
         {"<b class=\\\"ui-page-s-len\\\">2/3</b>", "\\\">上一页</a>"},
         {}},
        {"render error",
         "http://render-error.tmall.com/i/asynSearch.htm?mid=w-" + cat().ShopOf(ShopKind::TmallRenderError).key +
             "-0&path=/search.htm&&search=y&pageNo=1",
         200,
         gbkHtml,
         true,
         {"default render error"},
         {"item.htm?id="}},
        {"redirect script",
         redirect.searchAddress,
         200,
         gbkHtml,
         true,
         {"window.location.href='http://redirect-shop.tmall.com/search.htm?search=y&tbpm=1';",
          "?mid=w-" + redirect.key + "-0&"},
         {"ui-page-s-len"}},
        {"redirect target",
         redirect.redirectTarget,
         200,
         gbkHtml,
         true,
         {"?mid=w-" + redirect.redirectKey + "-0&", "ui-page-s-len\">1/1<"},
         {"window.location"}},
        {"unknown path", "http://mall-shop.tmall.com/nothing.htm", 404, gbkHtml, true, {"页面不存在"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Reply r = Get(c.address);
        ASSERT_EQ(r.rc, CURLE_OK);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.contentType, c.contentType);
        for (const std::string& m : c.present) {
            EXPECT_NE(r.body.find(c.gbk ? G(m) : m), std::string::npos) << m;
        }
        for (const std::string& m : c.absent) {
            EXPECT_EQ(r.body.find(c.gbk ? G(m) : m), std::string::npos) << m;
        }
    }
}

// Every optional marker is really gone from the pages of the items that lack it, and only that marker.
TEST_F(DemoAnswers, ItemsLackExactlyTheirMissingMarkers) {
    const struct {
        unsigned flag;
        std::string taobao, tmall;  // the marker on each market's item page ("" when not applicable)
    } cases[] = {
        {kNoListPrice, "tb-rmb-num", "defaultItemPrice"},
        {kNoFavourites, "ICCP_1_", "ICCP_1_"},
        {kNoSales, "detailskip.taobao.com/json/ifq.htm?", "detailskip.taobao.com/json/ifq.htm?"},
        {kNoReviews, "rateCounterApi", "spuId"},
        {kNoPicture, "tb-pic tb-s50", "J_UlThumb"},
        {kNoListingTime, "dbst", "date="},
        {kNoServerTime, "now\":", ""},
    };
    for (const auto& c : cases) {
        for (ShopKind kind : {ShopKind::TaobaoAsync, ShopKind::TaobaoSearch, ShopKind::TaobaoSearchPageNum,
                              ShopKind::TmallMain, ShopKind::TmallGlobal, ShopKind::TmallRenderError}) {
            const bool tmall = IsTmall(kind);
            const std::string& marker = tmall ? c.tmall : c.taobao;
            for (const Item* item : cat().ItemsOf(cat().ShopOf(kind))) {
                if (marker.empty() || (item->missing != c.flag && item->missing != 0)) {
                    continue;
                }
                SCOPED_TRACE(item->id + " " + marker);
                const Reply r = Get(cat().ItemPageAddress(*item));
                ASSERT_EQ(r.status, 200);
                EXPECT_EQ(r.body.find(marker) == std::string::npos, item->missing == c.flag);
            }
        }
    }
    int withoutPrices = 0;
    for (const Item& item : cat().Items()) {
        const Reply r = Get("http://price-history.invalid/price/?id=" + item.id);
        const bool none = (item.missing & kNoPriceHistory) != 0;
        withoutPrices += none;
        EXPECT_EQ(r.body.find(G("当前价：<b>")) == std::string::npos, none) << item.id;
        EXPECT_EQ(r.body.find(G("最低价：<")) == std::string::npos, none) << item.id;
    }
    EXPECT_GE(withoutPrices, 2);
}

// The listing pages hold every item once, in catalogue order, inside the cut the crawlers make; the
// recommended items of the asynchronous answers lie outside it.
TEST_F(DemoAnswers, ListingCutsHoldExactlyTheShopsItems) {
    const std::string nextLink = G(">下一页</a>"), prevLink = G("上一页</a>");
    for (const Shop& shop : cat().Shops()) {
        SCOPED_TRACE(shop.host);
        std::vector<std::string> found;
        for (int n = 1; n <= shop.PageCount(); ++n) {
            std::string region;
            const std::string pageNo = "pageNo=" + std::to_string(n);
            switch (shop.kind) {
                case ShopKind::TaobaoAsync: {
                    const Reply r = Get(shop.address + "/i/asynSearch.htm?path=/search.htm&search=y&" + pageNo +
                                        "&mid=w-" + shop.key + "-0");
                    region = Between(r.body, nextLink, nextLink);
                    for (const std::string& id : cat().ForeignIds()) {
                        EXPECT_NE(r.body.find(id), std::string::npos);
                    }
                    break;
                }
                case ShopKind::TmallMain:
                case ShopKind::TmallGlobal:
                case ShopKind::TmallRedirect: {
                    const std::string& key = shop.kind == ShopKind::TmallRedirect ? shop.redirectKey : shop.key;
                    const Reply r = Get(shop.address + "/i/asynSearch.htm?mid=w-" + key +
                                        "-0&path=/search.htm&&search=y&" + pageNo);
                    region = Between(r.body, "ui-page-s-len", prevLink);
                    for (const std::string& id : cat().ForeignIds()) {
                        EXPECT_NE(r.body.find(id), std::string::npos);
                    }
                    break;
                }
                case ShopKind::TmallRenderError:
                    region = Between(Get(shop.address + "/search.htm?search=y&" + pageNo).body, "ui-page-s-len\">",
                                     prevLink);
                    break;
                default:
                    region =
                        Get(shop.address + "/search.htm?orderType=hotsell_desc&" +
                            (shop.kind == ShopKind::TaobaoSearchPageNum ? "pageNum=" : "pageNo=") + std::to_string(n))
                            .body;
                    break;
            }
            const auto ids = LinkedIds(region);
            EXPECT_EQ(ids.size(), static_cast<std::size_t>(std::min(
                                      shop.pageSize, static_cast<int>(shop.items.size()) - (n - 1) * shop.pageSize)))
                << "page " << n;
            found.insert(found.end(), ids.begin(), ids.end());
        }
        std::vector<std::string> want;
        for (const Item* item : cat().ItemsOf(shop)) {
            want.push_back(item->id);
        }
        EXPECT_EQ(found, want);
    }
}

TEST_F(DemoAnswers, ItemHistoryIsGroupsOfFourQuotedValues) {
    for (HistoryStyle style :
         {HistoryStyle::Normal, HistoryStyle::CommaInTitle, HistoryStyle::EmptyValues, HistoryStyle::Zeros}) {
        const Item& item =
            FindItemOf(cat(), ShopKind::TaobaoAsync, [style](const Item& i) { return i.historyStyle == style; });
        const auto days = cat().History(item);
        ASSERT_GE(days.size(), 10u);
        const Reply r = Get("http://item-history.invalid/item-history/" + item.id + "?_=");
        // Read the answer the way the price-history window does: fields at ",", the value between the quotes.
        std::vector<std::string> values;
        std::size_t start = 0;
        while (start < r.body.size()) {
            const std::size_t comma = std::min(r.body.find(',', start), r.body.size());
            const std::string field = r.body.substr(start, comma - start);
            values.push_back(Between(field, "\"", "\""));
            start = comma + 1;
        }
        std::vector<std::string> want;
        for (const HistoryDay& d : days) {
            for (const std::string& v : {d.date, d.priceCents, d.sales, d.title}) {
                const std::size_t comma = v.find(',');
                want.push_back(v.substr(0, comma));
                if (comma != std::string::npos) {
                    want.push_back("]");  // the rest of a title cut at its "," reads up to the closing quote
                }
            }
        }
        SCOPED_TRACE(static_cast<int>(style));
        EXPECT_EQ(r.body.substr(0, 3), "[[\"");
        EXPECT_EQ(values, want);
        EXPECT_EQ(values.size() % 4 != 0, style == HistoryStyle::CommaInTitle);
        EXPECT_EQ(r.body.find("\"\"") != std::string::npos, style == HistoryStyle::EmptyValues);
        EXPECT_EQ(days[0].priceCents == "0", style == HistoryStyle::Zeros);
    }
}

TEST_F(DemoAnswers, SpeechServiceAnswersTheCompiledInMp3) {
    const Reply r = Get("http://tts.baidu.com/text2audio?lan=zh&ie=UTF-8&text=%E4%BD%A0%E5%A5%BD");
    EXPECT_EQ(r.contentType, "audio/mpeg");
    ASSERT_EQ(r.body, std::string(DemoMp3()));
    EXPECT_GT(r.body.size(), 1000u);
    EXPECT_EQ(r.body.substr(0, 3), "ID3");
    const Reply empty = Get("http://tts.baidu.com/text2audio?lan=zh&ie=UTF-8&text=");
    EXPECT_NE(empty.body.find("err_no"), std::string::npos);
    const Reply picture = Get("http://img.alicdn.com/bao/uploaded/i1/1/TB1x.jpg");
    EXPECT_EQ(picture.contentType, "image/jpeg");
    EXPECT_EQ(picture.body.substr(0, 2), "\xFF\xD8");
}

TEST(DemoLoginWall, SearchPagesAskForALoginUntilTheFormIsSubmitted) {
    ServerOptions options;
    options.loginWall = true;
    DemoMarket market(options);
    ASSERT_TRUE(market.start());
    const Shop& shop = market.catalogue().ShopOf(ShopKind::TmallMain);
    for (bool post : {false, true}) {
        SCOPED_TRACE(post ? "POST" : "GET");
        Client browser(market.port());
        const Reply wall = browser.Get(shop.searchAddress);
        ASSERT_NE(wall.body.find(G("<form id=\"J_Form\" method=\"post\" action=\"/member/login.jhtml\">")),
                  std::string::npos);
        EXPECT_NE(wall.body.find("name=\"redirectURL\" value=\"http://mall-shop.tmall.com/search.htm?search=y\""),
                  std::string::npos);
        EXPECT_EQ(wall.body.find("?mid=w"), std::string::npos);
        const std::string back = "http%3A%2F%2Fmall-shop.tmall.com%2Fsearch.htm%3Fsearch%3Dy";
        const Reply in = post ? browser.Post(shop.address + "/member/login.jhtml",
                                             "redirectURL=" + back + "&TPL_username=demo&TPL_password=demo")
                              : browser.Get(shop.address + "/member/login.jhtml?redirectURL=" + back);
        EXPECT_NE(in.headers.find("Set-Cookie: demo_login=1; Path=/; Domain=.tmall.com"), std::string::npos);
        EXPECT_EQ(in.url, shop.searchAddress);
        EXPECT_NE(in.body.find("?mid=w-" + shop.key + "-0"), std::string::npos);
        // The cookie covers the other shops of the market and the asynchronous answers.
        EXPECT_NE(browser.Get("http://render-error.tmall.com/search.htm?search=y").body.find("ui-page-s-len"),
                  std::string::npos);
        EXPECT_NE(
            browser.Get(shop.address + "/i/asynSearch.htm?mid=w-" + shop.key + "-0&pageNo=1").body.find("item.htm"),
            std::string::npos);
        EXPECT_NE(browser.Get("http://asyn-shop.taobao.com/search.htm").body.find("J_Form"), std::string::npos);
    }
    // A visitor without the cookie keeps getting the login page, also for the asynchronous answer.
    Client other(market.port());
    EXPECT_NE(other.Get10(shop.searchAddress).body.find("J_Form"), std::string::npos);
    EXPECT_NE(other.Get10(shop.address + "/i/asynSearch.htm?mid=w-" + shop.key + "-0").body.find("J_Form"),
              std::string::npos);
    // Switched off at run time: the listing again.
    market.setLoginWall(false);
    EXPECT_EQ(other.Get(shop.searchAddress).body.find("J_Form"), std::string::npos);
}

TEST(DemoSecurityCheck, NthCounterRequestAsksForTheCheckUntilItIsPassed) {
    ServerOptions options;
    options.securityCheckAfter = 3;
    DemoMarket market(options);
    ASSERT_TRUE(market.start());
    const Catalogue& cat = market.catalogue();
    const Item& item = FindItemOf(cat, ShopKind::TaobaoAsync, [](const Item& i) { return i.missing == 0; });
    const std::string sales = "http://detailskip.taobao.com/json/ifq.htm?id=" + item.id + "&q=1";
    const std::string reviews = "http://rate.taobao.com/detailCount.do?itemId=" + item.id + "&callback=jsonp120";
    const std::string marker = "sec.taobao.com/query.htm?";

    Client analyser(market.port());
    EXPECT_NE(analyser.Get10(sales).body.find("quanity:"), std::string::npos);
    EXPECT_NE(analyser.Get10(reviews).body.find(item.id + "\":"), std::string::npos);
    const Reply check = analyser.Get10(sales);
    ASSERT_NE(check.body.find(marker), std::string::npos);
    EXPECT_EQ(check.body.find("quanity"), std::string::npos);
    EXPECT_EQ(check.body.back(), '}');  // no line end after it: a cut without the quotes ends at the brace
    const std::string query = Between(check.body, marker, "\"");
    const std::string review = analyser.Get10(reviews).body;
    EXPECT_NE(review.find(marker), std::string::npos);
    EXPECT_NE(review.find(item.id), std::string::npos);  // the review loop stops at once and sees the check
    EXPECT_EQ(market.securityChecksServed(), 2);
    EXPECT_EQ(market.counterRequestCount(), 4);

    // The check page in the browser, the form, then the page without the prompt.
    Client browser(market.port());
    const std::string checkPage = "http://sec.taobao.com/query.htm?" + query;
    const Reply page = browser.Get(checkPage);
    EXPECT_NE(page.body.find("SecurityMatrix"), std::string::npos);
    EXPECT_NE(page.body.find(G("请输入验证码证明咱是正常人")), std::string::npos);
    EXPECT_NE(page.body.find("action=\"/verify.do\""), std::string::npos);
    const Reply passed = browser.Post("http://sec.taobao.com/verify.do", "checkcode=abcd&q=" + UrlEncodeGbk(query));
    EXPECT_NE(passed.headers.find("Set-Cookie: demo_sec_pass=1; Path=/; Domain=.taobao.com"), std::string::npos);
    EXPECT_EQ(passed.url, checkPage);
    EXPECT_NE(passed.body.find("SecurityMatrix"), std::string::npos);
    EXPECT_EQ(passed.body.find(G("请输入验证码证明咱是正常人")), std::string::npos);
    // With the pass cookie the counters answer again; without it they keep asking.
    EXPECT_NE(browser.Get10(sales).body.find("quanity:\t" + item.deals30d), std::string::npos);
    EXPECT_NE(browser.Get10(reviews).body.find(item.id + "\":" + item.reviews), std::string::npos);
    EXPECT_NE(analyser.Get10(sales).body.find(marker), std::string::npos);
    market.resetCounters();
    EXPECT_NE(analyser.Get10(sales).body.find("quanity:"), std::string::npos);
}

TEST(DemoFaults, FaultPathsMisbehaveAsDocumented) {
    DemoMarket market;
    ASSERT_TRUE(market.start());
    Client c(market.port());

    const Reply slow = c.Get("http://item.taobao.com/_fault/slow?ms=20&chunks=4");
    EXPECT_EQ(slow.rc, CURLE_OK);
    EXPECT_EQ(slow.body.size() % 4, 0u);
    EXPECT_EQ(slow.body.substr(0, slow.body.size() / 4), slow.body.substr(slow.body.size() / 4 * 3));

    const Reply cut = c.Get10("http://item.taobao.com/_fault/cut?after=5000");
    EXPECT_EQ(cut.rc, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.body, std::string(5000, 'x'));

    const Reply error = c.Get("http://item.taobao.com/_fault/500");
    EXPECT_EQ(error.status, 500);
    EXPECT_NE(error.body.find(G("服务器繁忙")), std::string::npos);

    const Reply huge = c.Get10("http://x.invalid/_fault/huge?size=3000001");
    EXPECT_EQ(huge.rc, CURLE_OK);
    EXPECT_EQ(huge.body.size(), 3000001u);

    const Reply zero = c.Get("http://item.taobao.com/_fault/zero");
    const std::size_t nul = zero.body.find('\0');
    ASSERT_NE(nul, std::string::npos);
    EXPECT_NE(zero.body.substr(0, nul).find("BEFORE-ZERO"), std::string::npos);
    EXPECT_NE(zero.body.substr(nul).find("AFTER-ZERO"), std::string::npos);

    EXPECT_EQ(c.Get("http://item.taobao.com/_fault/loop").rc, CURLE_TOO_MANY_REDIRECTS);

    const Reply redirected = c.Get("http://shop.taobao.com/_fault/redirect");
    EXPECT_EQ(redirected.url, "http://shop.taobao.com/_fault/echo");
    EXPECT_NE(c.Cookies().find("shop.taobao.com demo_redirect=1"), std::string::npos);
    EXPECT_NE(redirected.body.find("Cookie: demo_redirect=1"), std::string::npos);

    // The echo shows the request as sent: HTTP/1.0, the Host of the address, GBK bytes of the query unchanged.
    const std::string gbkQuery = "q=" + G("女装");
    const Reply echo = c.Get10("http://shop.taobao.com/_fault/echo?" + gbkQuery);
    EXPECT_EQ(echo.body.substr(0, echo.body.find('\n')), "GET /_fault/echo?" + gbkQuery + " HTTP/1.0");
    EXPECT_NE(echo.body.find("Host: shop.taobao.com\n"), std::string::npos);
    EXPECT_NE(echo.headers.find("Connection: close"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::demo
