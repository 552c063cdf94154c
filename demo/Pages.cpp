#include "Pages.h"

#include <algorithm>

#include "web/Encoding.h"

namespace vantrel::demo::pages {
namespace {

// Pages are written in UTF-8 here and sent as GBK, like the marketplace's own.
std::string Gbk(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

std::string Escaped(std::string_view html) {
    std::string out;
    out.reserve(html.size() + html.size() / 8);
    for (char ch : html) {
        if (ch == '"') {
            out += "\\\"";
        } else {
            out += ch;
        }
    }
    return out;
}

std::string Head(std::string_view title) {
    return "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"gbk\" />\r\n<title>" + std::string(title) +
           "</title>\r\n";
}

int Clamp(int n, int lo, int hi) {
    return std::max(lo, std::min(n, hi));
}

std::string Thumb(const Item& item, std::string_view suffix) {
    return "//" + item.imagePath + std::string(suffix);
}

// The item list and the pagers of one listing page (UTF-8, quotes unescaped).
// `async`: the form used inside the asynchronous answers (no "&amp;" in links, a recommended block after the
// lower pager).
std::string Listing(const Catalogue& cat, const Shop& shop, int page, bool async) {
    const int pages = shop.PageCount();
    const bool tmall = IsTmall(shop.kind);
    const std::string base = "//" + shop.host +
                             (tmall ? "/search.htm?search=y&" : "/search.htm?orderType=hotsell_desc&") +
                             (shop.kind == ShopKind::TaobaoSearchPageNum ? "pageNum=" : "pageNo=");
    const std::string prev = base + std::to_string(Clamp(page - 1, 1, pages));
    const std::string next = base + std::to_string(Clamp(page + 1, 1, pages));
    const std::string pager = std::to_string(page) + "/" + std::to_string(pages);
    const std::string detail = shop.kind == ShopKind::TmallGlobal ? "//detail.tmall.hk/hk/item.htm?id="
                               : tmall                            ? "//detail.tmall.com/item.htm?id="
                                                                  : "//item.taobao.com/item.htm?id=";
    std::string s = "<div class=\"J_TItems\">\r\n";
    if (tmall) {
        s += "<div class=\"pagination\"><a class=\"ui-page-s-prev\" href=\"" + prev +
             "\">&lt;</a><b class=\"ui-page-s-len\">" + pager + "</b><a class=\"ui-page-s-next\" href=\"" + next +
             "\">&gt;</a></div>\r\n<div class=\"item4line1\">\r\n";
    } else {
        s += "<div class=\"filter clearfix J_TFilter\"><div class=\"pagination\"><span class=\"page-info\">" + pager +
             "</span><a class=\"J_SearchAsync next\" href=\"" + next +
             "\">下一页</a></div></div>\r\n<div class=\"item3line1\">\r\n";
    }
    const auto items = cat.ItemsOf(shop);
    const int first = (page - 1) * shop.pageSize;
    const int last = std::min(static_cast<int>(items.size()), first + shop.pageSize);
    for (int i = std::max(0, first); i < last; ++i) {
        const Item& item = *items[static_cast<std::size_t>(i)];
        const std::string link = detail + item.id;
        std::string photoLink, titleLink, rateLink;
        if (tmall) {
            // Even items: the picture's link ends right after the id (a collector must not take it).
            photoLink = item.index % 2 == 0 ? link : link + "&rn=" + item.imagePath.substr(44, 8) + "&abbucket=7";
            titleLink = link + "&rn=" + item.imagePath.substr(44, 8) + "&abbucket=7";
            rateLink = link + "&on_comment=1";
        } else {
            photoLink = titleLink = link + "&scene=taobao_shop";
            rateLink = link + (!async && item.index % 2 == 1 ? "&amp;on_comment=1" : "&on_comment=1");
        }
        s += "<dl class=\"item\" data-id=\"" + item.id + "\">\r\n<dt class=\"photo\"><a href=\"" + photoLink +
             "\" target=\"_blank\"><img alt=\"" + item.title + "\" src=\"" + Thumb(item, "_180x180.jpg") +
             "\" /></a></dt>\r\n<dd class=\"detail\"><a class=\"item-name J_TGoldData\" href=\"" + titleLink +
             "\" target=\"_blank\">" + item.title +
             "</a>\r\n<div class=\"attribute\"><div class=\"cprice-area\"><span class=\"symbol\">&yen;</span>"
             "<span class=\"c-price\">" +
             item.listPrice.substr(0, item.listPrice.find(' ')) +
             " </span></div><div class=\"sale-area\">已售：<span class=\"sale-num\">" + item.deals30d +
             "</span>件</div></div></dd>\r\n<dd class=\"rates\"><div class=\"title\"><h4>评价: <a href=\"" + rateLink +
             "\" target=\"_blank\"><span>" + item.reviews + "</span></a></h4></div></dd>\r\n</dl>\r\n";
    }
    if (last <= first) {
        s += "<p class=\"item-not-found\">没有找到相应的店铺内宝贝哦</p>\r\n";
    }
    s += "</div>\r\n<div class=\"pagination\">";
    if (tmall) {
        s += "<a class=\"ui-page-prev\" href=\"" + prev + "\">上一页</a><a class=\"page-cur\">" + std::to_string(page) +
             "</a><a class=\"ui-page-next\" href=\"" + next + "\">下一页</a>";
    } else {
        s += "<a class=\"J_SearchAsync prev\" href=\"" + prev + "\">上一页</a><a class=\"page-cur\">" +
             std::to_string(page) + "</a><a class=\"J_SearchAsync next\" href=\"" + next + "\">下一页</a>";
    }
    s += "</div>\r\n</div>\r\n";
    if (async) {
        s += "<div class=\"J_TRecommend\"><h4>掌柜推荐</h4>\r\n";
        const std::string recommended = tmall ? detail : "//item.taobao.com/item.htm?id=";
        for (const std::string& id : cat.ForeignIds()) {
            s += "<a href=\"" + recommended + id + (tmall ? "&rn=recommend" : "&scene=taobao_shop") +
                 "\" target=\"_blank\">推荐宝贝</a>\r\n";
        }
        s += "</div>\r\n";
    }
    return s;
}

std::string AsyncModule(std::string_view key) {
    const std::string k(key);
    return "<div class=\"J_TModule\" data-widgetid=\"" + k + "\" id=\"shop" + k +
           "\" data-componentid=\"5003\" data-title=\"宝贝列表\" data-url=\"/i/asynSearch.htm?mid=w-" + k +
           "-0&wid=" + k + "&path=/search.htm&search=y\"></div>\r\n";
}

std::string ShopHeader(const Shop& shop) {
    return "<div id=\"hd\"><div class=\"shop-name\"><a href=\"//" + shop.host + "/\">" + shop.name +
           "</a></div></div>\r\n";
}

std::string MarketSuffix(const Shop& shop) {
    return shop.kind == ShopKind::TmallGlobal ? "-天猫国际" : IsTmall(shop.kind) ? "-天猫Tmall.com" : "-淘宝网";
}

std::string Seller(const Item& item) {
    return "2" + item.id.substr(1, 4) + item.id.substr(8, 4);
}

}  // namespace

std::string EscapeAttribute(std::string_view s) {
    std::string out;
    for (char ch : s) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

std::string ShopHome(const Shop& shop) {
    const std::string title =
        shop.homeTitleHasName ? "首页-" + shop.name + MarketSuffix(shop) : shop.name + MarketSuffix(shop);
    return Gbk(Head(title) + "</head>\r\n<body>\r\n" + ShopHeader(shop) + "<div id=\"bd\"><a href=\"" +
               shop.searchAddress + "\">查看所有宝贝</a></div>\r\n</body>\r\n</html>\r\n");
}

std::string SearchPage(const Catalogue& cat, const Shop& shop, int page, std::string_view key) {
    std::string s = Head("搜索店铺内宝贝-" + shop.name + MarketSuffix(shop)) + "</head>\r\n<body>\r\n" +
                    ShopHeader(shop) + "<div id=\"bd\">\r\n";
    if (!key.empty()) {
        s += AsyncModule(key);
    }
    s += Listing(cat, shop, page, false) + "</div>\r\n</body>\r\n</html>\r\n";
    return Gbk(s);
}

std::string RedirectScriptPage(const Shop& shop) {
    return Gbk(Head("搜索店铺内宝贝-" + shop.name + MarketSuffix(shop)) + "<script>window.location.href='" +
               shop.redirectTarget + "';</script>\r\n</head>\r\n<body>\r\n" + AsyncModule(shop.key) +
               "</body>\r\n</html>\r\n");
}

std::string AsyncAnswer(const Catalogue& cat, const Shop& shop, int page) {
    return Gbk(Escaped("\r\n" + Listing(cat, shop, page, true)));
}

std::string AsyncRenderError() {
    return Gbk(
        Escaped("\r\n<div class=\"J_TItems\">\r\n<!-- default render error -->\r\n"
                "<p class=\"error\">default render error</p>\r\n</div>\r\n"));
}

std::string AsyncNoItems() {
    return Gbk(Escaped(
        "\r\n<div class=\"J_TItems\">\r\n<p class=\"item-not-found\">没有找到相应的店铺内宝贝哦</p>\r\n</div>\r\n"));
}

std::string TaobaoItemPage(const Catalogue& cat, const Item& item) {
    const unsigned miss = item.missing;
    const std::string& id = item.id;
    const std::string seller = Seller(item);
    std::string s = Head(item.title + "-淘宝网");
    s += "<script>\r\nvar g_config = {\r\n    startTime: +new Date,\r\n    shopId: '" + seller.substr(0, 8) +
         "',\r\n    itemId: '" + id + "',\r\n    sellerId: '" + seller + "',\r\n";
    s += "    counterApi: \"//count.taobao.com/counter3?inc=ICVT_7_" + id + "&sign=" + item.imagePath.substr(44, 12) +
         "&keys=DFX_200_1_" + id + ",ICVT_7_" + id + (miss & kNoFavourites ? "" : ",ICCP_1_" + id) + ",SCCP_2_" +
         seller + "\",\r\n";
    if (!(miss & kNoReviews)) {
        const std::string api = "//rate.taobao.com/detailCount.do?itemId=" + id;
        s += item.rateApiSingleQuoted ? "    rateCounterApi   : '" + api + "',\r\n"
                                      : "    rateCounterApi:\"" + api + "\",\r\n";
    }
    if (!(miss & kNoListingTime)) {
        s += "    dbst : " + std::to_string(item.listedMs) + ",\r\n";
    }
    s += "    type: 'item'\r\n};\r\n</script>\r\n<script>\r\nHub.config.set('sku', {\r\n";
    if (!(miss & kNoSales)) {
        const std::string url = "//detailskip.taobao.com/json/ifq.htm?stm=" + std::to_string(item.nowMs) + "&id=" + id +
                                "&sid=" + seller + "&sbn=" + item.imagePath.substr(44, 16) +
                                "&q=1&ex=0&exs=0&shid=&at=b&ct=1";
        // Both quote styles occur in the marketplace's pages.
        s += item.index % 2 == 0 ? "    wholeSibUrl: \"" + url + "\",\r\n" : "    wholeSibUrl: '" + url + "',\r\n";
    }
    s += "    valItemInfo: {}\r\n});\r\n";
    if (!(miss & kNoServerTime)) {
        s += "TB.detail.serverTime = {\"now\":" + std::to_string(item.nowMs) + ",\"tz\":8};\r\n";
    }
    s += "</script>\r\n</head>\r\n<body>\r\n<div id=\"detail\">\r\n<h3 class=\"tb-main-title\" data-title=\"" +
         EscapeAttribute(item.title) + "\">" + item.title + "</h3>\r\n";
    s += "<ul class=\"tb-meta\"><li id=\"J_StrPriceModBox\" class=\"tb-detail-price\"><span class=\"tb-property-type\">"
         "价格</span><strong class=\"tb-promo-price\"><em class=\"tb-rmb\">&yen;</em>";
    if (!(miss & kNoListPrice)) {
        s += "<em class=\"tb-rmb-num\">" + item.listPrice + "</em>";
    }
    s +=
        "</strong></li></ul>\r\n<div class=\"tb-gallery\">\r\n<ul id=\"J_UlThumb\" class=\"tb-thumb tb-clearfix\">\r\n";
    if (!(miss & kNoPicture)) {
        s += "<li class=\"tb-selected\"><div class=\"tb-pic tb-s50\"><a href=\"#\"><img data-src=\"" +
             Thumb(item, "_50x50.jpg") + "\" /></a></div></li>\r\n";
        s += "<li><div class=\"tb-pic tb-s50\"><a href=\"#\"><img data-src=\"//img.alicdn.com/imgextra/i2/" + seller +
             "/TB2detail" + id + ".jpg_50x50.jpg\" /></a></div></li>\r\n";
    }
    s += "</ul>\r\n</div>\r\n</div>\r\n</body>\r\n</html>\r\n";
    (void)cat;
    return Gbk(s);
}

std::string TmallItemPage(const Catalogue& cat, const Item& item) {
    const unsigned miss = item.missing;
    const std::string& id = item.id;
    const std::string seller = Seller(item);
    const bool global = cat.Shops()[static_cast<std::size_t>(item.shop)].kind == ShopKind::TmallGlobal;
    std::string s = Head(item.title + (global ? "-tmall.hk天猫国际" : "-tmall.com天猫"));
    s += "<script>\r\nTShop.Setup({\r\n\"api\":{\"descUrl\":\"//dsc.taobaocdn.com/i4/" + id +
         "/desc.htm\",\"fetchDcUrl\":\"//hdc1.alicdn.com/asyn.htm?userId=" + seller + "\"},\r\n";
    if (!(miss & kNoSales)) {
        // Two addresses in a row: a cut of the page without its quotes ends at the second one.
        s += "\"initApi\":\"//detailskip.taobao.com/json/ifq.htm?id=" + id + "&sid=" + seller +
             "&q=1\",\"initCspuExtraApi\":\"//detailskip.taobao.com/json/ifq.htm?id=" + id + "&sid=" + seller +
             "&cspu=1\",\r\n";
    }
    s += "\"itemDO\":{\"brand\":\"" + cat.Shops()[static_cast<std::size_t>(item.shop)].name +
         "\",\"categoryId\":\"50012345\",";
    if (!(miss & kNoListPrice)) {
        s += "\"defaultItemPrice\": \"" + item.listPrice + "\" ,";
    }
    s += "\"itemId\":\"" + id + "\",";
    if (!(miss & kNoReviews)) {
        s += "\"spuId\":" + item.spuId + ",";
    }
    s += "\"userId\":\"" + seller + "\"},\r\n\"counterApi\":\"//count.taobao.com/counter3?keys=" +
         (miss & kNoFavourites ? std::string() : "ICCP_1_" + id + ",") + "SM_368_dsr-" + seller +
         "&callback=jsonp\",\r\n\"valItemInfo\":{}\r\n});\r\n</script>\r\n</head>\r\n<body>\r\n";
    s += "<div id=\"J_DetailMeta\">\r\n<div class=\"tb-detail-hd\"><h1 data-spm=\"1000983\">" + item.title +
         "</h1></div>\r\n<div class=\"tb-gallery\">\r\n";
    if (!(miss & kNoPicture)) {
        s +=
            "<ul id=\"J_UlThumb\" class=\"tb-thumb tm-clear\">\r\n<li class=\"tb-selected\"><a href=\"#\"><img src=\"" +
            Thumb(item, "_60x60q90.jpg") +
            "\" /></a></li>\r\n<li><a href=\"#\"><img src=\"//img.alicdn.com/imgextra/i3/" + seller + "/TB2detail" +
            id + ".jpg_60x60q90.jpg\" /></a></li>\r\n</ul>\r\n";
    }
    s += "</div>\r\n<dl class=\"tm-price-panel\"><dt class=\"tb-metatit\">价格</dt><dd><span class=\"tm-price\">" +
         item.listPrice.substr(0, item.listPrice.find(' ')) + "</span></dd></dl>\r\n";
    if (!(miss & kNoListingTime)) {
        s += "<div id=\"J_ShelfInfo\" data-url=\"//ext.mdskip.taobao.com/extension/shelf.htm?itemId=" + id +
             "&date=" + std::to_string(item.listedMs) + "\"></div>\r\n";
    }
    s += "</div>\r\n</body>\r\n</html>\r\n";
    return Gbk(s);
}

std::string ItemNotFound() {
    return Gbk(
        Head("淘宝网 - 宝贝不存在") +
        "</head>\r\n<body>\r\n<div class=\"error-notice\">很抱歉，您查看的宝贝不存在，可能已下架或者被转移。</div>\r\n"
        "</body>\r\n</html>\r\n");
}

std::string FavouritesAnswer(const Catalogue& cat, std::string_view keys, std::string_view callback) {
    std::string body;
    std::size_t start = 0;
    while (start <= keys.size()) {
        const std::size_t comma = std::min(keys.find(',', start), keys.size());
        const std::string_view key = keys.substr(start, comma - start);
        if (!key.empty()) {
            std::string value = "0";
            if (key.substr(0, 7) == "ICCP_1_") {
                if (const Item* item = cat.FindItem(key.substr(7))) {
                    value = item->favourites;
                }
            }
            body += (body.empty() ? "" : ",") + ("\"" + std::string(key) + "\":" + value);
        }
        start = comma + 1;
    }
    return std::string(callback.empty() ? "json" : callback) + "({" + body + "});";
}

std::string SalesAnswer(const Item* item) {
    const std::string quantity = item ? item->deals30d : "0";
    const std::string confirm = item ? item->receipts30d : "0";
    return "{\r\n\t\"isSuccess\":\ttrue,\r\n\t\"data\":\t{\r\n\t\tquanity:\t" + quantity +
           ",\r\n\t\tinterval:\t30,\r\n\t\ttipAmount:\t0,\r\n\t\tconfirmGoods:\t" + confirm +
           "},\r\n\t\"serverTime\":\t1454284800000\r\n}\r\n";
}

std::string ReviewAnswer(std::string_view id, const Item* item, std::string_view callback) {
    return std::string(callback.empty() ? "jsonp120" : callback) + "({\"count\":{\"" + std::string(id) +
           "\":" + (item ? item->reviews : "0") + "}})";
}

std::string DsrAnswer(std::string_view id, std::string_view spuId, const Item* item, std::string_view callback) {
    return std::string(callback.empty() ? "jsonp160" : callback) +
           "({\"dsr\":{\"gradeAvg\":4.8,\"itemId\":" + std::string(id) +
           ",\"peopleNum\":" + (item ? std::to_string(item->reviews.size() * 37) : "0") +
           ",\"periodSoldQuantity\":0,\"rateTotal\":" + (item ? item->reviews : "0") +
           ",\"sellerId\":0,\"spuId\":" + (spuId.empty() ? "0" : std::string(spuId)) + ",\"totalSoldQuantity\":0}})";
}

std::string PriceHistoryPage(std::string_view id, const Item* item) {
    std::string s =
        Head("商品 " + std::string(id) + " 历史价格") + "</head>\r\n<body>\r\n<div class=\"price-box\">\r\n";
    if (item && !(item->missing & kNoPriceHistory)) {
        s += "<p>当前价：<b>" + item->salePrice + "</b></p>\r\n<p>最低价：<span>" + item->lowestPrice +
             "</span></p>\r\n";
    } else {
        s += "<p>暂无该商品的价格记录</p>\r\n";
    }
    return Gbk(s + "</div>\r\n</body>\r\n</html>\r\n");
}

std::string ItemHistoryAnswer(const Catalogue& cat, const Item* item) {
    if (!item || item->historyStyle == HistoryStyle::NoHistory) {
        return "{ret:-1,\"msg\":\"暂无历史记录\"}";
    }
    std::string s = "[";
    bool first = true;
    for (const HistoryDay& day : cat.History(*item)) {
        s += (first ? "[\"" : ",[\"") + day.date + "\",\"" + day.priceCents + "\",\"" + day.sales + "\",\"" +
             day.title + "\"]";
        first = false;
    }
    return s + "]";
}

std::string ShortLinkAnswer(std::string_view longAddressGbk) {
    std::string longUtf8;
    for (char ch : GbkToUtf8(longAddressGbk)) {
        if (ch == '"' || ch == '\\') {
            longUtf8 += '\\';
        }
        if (static_cast<unsigned char>(ch) >= 0x20) {
            longUtf8 += ch;
        }
    }
    if (longAddressGbk.find("fail") != std::string_view::npos) {
        return "{\"urls\":[{\"result\":false,\"url_long\":\"" + longUtf8 + "\",\"error\":\"生成失败\"}]}";
    }
    return "{\"urls\":[{\"result\":true,\"url_short\":\"" + Catalogue::ShortLinkFor(longAddressGbk) +
           "\",\"url_long\":\"" + longUtf8 +
           "\",\"object_type\":\"\",\"type\":0,\"object_id\":\"\",\"msg\":\"成功\"}]}";
}

std::string LoginPage(std::string_view redirectUrl) {
    return Gbk(
        Head("登录-淘宝网") +
        "</head>\r\n<body>\r\n<div class=\"login-box\">\r\n<h2>密码登录</h2>\r\n"
        "<form id=\"J_Form\" method=\"post\" action=\"/member/login.jhtml\">\r\n"
        "<input type=\"hidden\" name=\"redirectURL\" value=\"" +
        EscapeAttribute(redirectUrl) +
        "\" />\r\n<label>会员名：<input type=\"text\" name=\"TPL_username\" id=\"TPL_username_1\" value=\"demo\" "
        "/></label>\r\n<label>密码：<input type=\"password\" name=\"TPL_password\" id=\"TPL_password_1\" "
        "value=\"demo\" /></label>\r\n<button type=\"submit\" id=\"J_SubmitStatic\">登 录</button>\r\n</form>\r\n"
        "</div>\r\n</body>\r\n</html>\r\n");
}

std::string SecurityCheckAnswer(std::string_view itemId) {
    return "{\"rgv587_flag\":\"sm\",\"url\":\"http://sec.taobao.com/query.htm?action=QueryAction&event_submit_do_login="
           "ok&smApp=detailskip&smPolicy=detailskip-item-anti_Spider-checklogin&smCharset=GBK&smTag=" +
           std::string(itemId) + "&smSign=Q0hFQ0s\"}";
}

std::string SecurityPage(std::string_view query, bool passed) {
    std::string s =
        Head("安全验证-淘宝网") + "</head>\r\n<body>\r\n<div id=\"SecurityMatrix\" class=\"SecurityMatrix\">\r\n";
    if (passed) {
        s += "<p class=\"passed\">验证通过，请关闭本窗口继续。</p>\r\n";
    } else {
        s += "<p class=\"prompt\">请输入验证码证明咱是正常人</p>\r\n<form id=\"J_CheckForm\" method=\"post\" "
             "action=\"/verify.do\">\r\n<input type=\"hidden\" name=\"q\" value=\"" +
             EscapeAttribute(query) +
             "\" />\r\n<img class=\"checkcode-img\" alt=\"验证码\" src=\"/checkcode.jpg\" />\r\n<input type=\"text\" "
             "name=\"checkcode\" id=\"checkcode\" value=\"\" />\r\n<button type=\"submit\" "
             "id=\"J_Submit\">确定</button>\r\n"
             "</form>\r\n";
    }
    return Gbk(s + "</div>\r\n</body>\r\n</html>\r\n");
}

std::string NotFoundPage() {
    return Gbk(Head("页面不存在") +
               "</head>\r\n<body>\r\n<p>很抱歉，您访问的页面不存在。</p>\r\n</body>\r\n</html>\r\n");
}

std::string ErrorPage500() {
    return Gbk(Head("服务器错误") + "</head>\r\n<body>\r\n<p>服务器繁忙，请稍后再试。</p>\r\n</body>\r\n</html>\r\n");
}

}  // namespace vantrel::demo::pages
