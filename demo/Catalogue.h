// The demo marketplace's catalogue: shops, items and every value the pages and counters show, all derived
// deterministically from a seed. Also the cells a correct shop run is expected to produce for each item.
// Texts are UTF-8 unless a name says Gbk; ids, addresses and numbers are ASCII (the same bytes in both).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::demo {

enum class ShopKind {
    TaobaoAsync,          // Taobao, "?mid=w" in its search page: TaobaoShopCrawler reads /i/asynSearch.htm
    TaobaoSearch,         // Taobao, search pages with "page-info" pager and "pageNo" links: TaobaoSearchCrawler
    TaobaoSearchPageNum,  // Taobao search pages that never contain "pageNo": the crawler switches to "pageNum"
    TaobaoEmpty,          // Taobao search pages, pager 1/1, no item
    TmallMain,            // xxx.tmall.com, asynchronous listing, lines "http://detail.tmall.com/item.htm?id=ID"
    TmallGlobal,          // xxx.tmall.hk, asynchronous listing, lines "http://detail.tmall.hk/hk/item.htm?id=ID"
    TmallRenderError,     // asynchronous answer holds "default render error"; search pages with "ui-page-s-len" pager
    TmallRedirect,        // search page holds a script line window.location.href='...' (and a key whose answer is
                          // "default render error"); the target page is a normal listing with another key
};

std::string_view ShopKindName(ShopKind kind);  // "taobao-async", "taobao-search", ... as in README and --help
bool IsTmall(ShopKind kind);

// Optional markers an item page may lack (bit flags in Item::missing).
enum Missing : unsigned {
    kNoListPrice = 1u << 0,    // Taobao: no "tb-rmb-num"; Tmall: no "defaultItemPrice"     -> cell 2 empty
    kNoFavourites = 1u << 1,   // no "ICCP_1_"                                                -> cell 5 empty
    kNoSales = 1u << 2,        // no detail-skip marker                                       -> cells 6, 7 empty
    kNoReviews = 1u << 3,      // Taobao: no rateCounterApi; Tmall: no "spuId"                -> cell 8 empty
    kNoPicture = 1u << 4,      // Taobao: no "tb-pic tb-s50"; Tmall: no "J_UlThumb"          -> cell 10 empty
    kNoListingTime = 1u << 5,  // Taobao: no "dbst" (cell 12 empty, 13/14 unspecified); Tmall: no "date=" (13/14 empty)
    kNoServerTime = 1u << 6,  // Taobao only: no "now": the analyser uses the clock       -> cells 13/14 clock-dependent
    kNoPriceHistory = 1u << 7  // the price-history page has neither marker                  -> cells 3, 4 empty
};

// Peculiarities of an item's answer of the item-history service.
enum class HistoryStyle {
    Normal,        // 4 quoted values per day: date, price in cents, 30-day sales, title
    NoHistory,     // the answer holds "ret:-1"
    CommaInTitle,  // one day's title holds an ASCII "," (shifts every later value by one field)
    EmptyValues,   // some days have "" as price, sales or title (and one day an empty date)
    Zeros,         // the first day's price and sales are "0", a later day's price is "0"
};

struct HistoryDay {
    std::string date;        // "2016-01-05", empty for an empty value
    std::string priceCents;  // "12900", "0" or empty
    std::string sales;       // "35", "0" or empty
    std::string title;       // UTF-8, may be empty
};

struct Item {
    int shop = 0;               // index into Catalogue::shops
    int index = 0;              // 0-based position in the shop's listing
    std::string id;             // 12 digits
    std::string title;          // UTF-8, as in <title> before "-淘宝网</title>" / "-tmall."
    std::string listPrice;      // as the item page writes it (may be "99.00 - 128.00"); cell 2 is it without spaces
    std::string salePrice;      // price-history site's current price ("当前价：<b>...</b>")
    std::string lowestPrice;    // price-history site's lowest price, "'无'" for none (cell 4 then shows "-")
    std::string favourites;     // counter3 value
    std::string deals30d;       // "quanity" of /json/ifq.htm
    std::string receipts30d;    // "confirmGoods" of /json/ifq.htm
    std::string reviews;        // Taobao review counter / Tmall "rateTotal"
    std::string spuId;          // Tmall only
    std::string imagePath;      // "img.alicdn.com/bao/uploaded/....jpg" (no scheme, no thumbnail suffix)
    std::int64_t listedMs = 0;  // Taobao "dbst"; Tmall "date=" (ms since 1970 UTC)
    std::int64_t nowMs = 0;     // Taobao "now" (ms)
    bool rateApiSingleQuoted = false;  // Taobao: `rateCounterApi   : '//...',` instead of `rateCounterApi:"//..."`
    unsigned missing = 0;              // Missing flags
    HistoryStyle historyStyle = HistoryStyle::Normal;
};

struct Shop {
    std::string host;  // "asyn-shop.taobao.com"
    ShopKind kind{};
    std::string name;              // UTF-8 shop name; the home page's <title> holds "首页-" + name + "-..."
    bool homeTitleHasName = true;  // false: the home page has no "首页-" (the report falls back to the host label)
    std::string key;               // listing key of "?mid=w-KEY-0" (empty for search-page shops)
    std::string redirectKey;       // TmallRedirect: the key of the target page's listing
    std::string address;           // "http://" + host (ShopAddress after normalisation)
    std::string searchAddress;     // BrowserTargetUrl of StartRun: address + "/search.htm?orderType=hotsell_desc"
                                   // (Taobao) or "/search.htm?search=y" (Tmall)
    std::string redirectTarget;    // TmallRedirect: the address of the script line
    int pageSize = 20;
    std::vector<int> items;  // indexes into Catalogue::items, listing order
    int PageCount() const;   // at least 1
};

// The 15 cells a correct analyser writes for an item (GBK bytes, like ResultTable cells).
// known[c] is false where the value is not fixed by the catalogue: cell 0 (the line's position), cells 13/14 of a
// Taobao item without "dbst" or without "now", cell 12 of nothing (always known).
struct ExpectedRow {
    std::array<std::string, 15> cells;
    std::array<bool, 15> known{};
};

struct Options {
    std::uint64_t seed = 2016;
    int itemsPerShop = 0;  // 0: each shop's default size; N (1..10000): every listing shop holds N items
    int pageSize = 20;     // items per listing page
};

class Catalogue {
public:
    explicit Catalogue(const Options& options = {});

    const std::vector<Shop>& Shops() const { return shops_; }
    const std::vector<Item>& Items() const { return items_; }
    const Shop* FindShop(std::string_view host) const;  // host without port; nullptr if none
    const Shop& ShopOf(ShopKind kind) const;            // the first shop of that kind
    const Item* FindItem(std::string_view id) const;    // nullptr if none
    std::vector<const Item*> ItemsOf(const Shop& shop) const;

    // Ids linked only from the "recommended" block that follows the lower pager of the asynchronous answers:
    // a crawler that cuts the listing at its pagers never collects them.
    const std::vector<std::string>& ForeignIds() const { return foreignIds_; }

    // ItemIdList lines (without CR LF) a crawl of the shop yields, in order:
    // Taobao: the id; Tmall: "http://detail.tmall.com/item.htm?id=ID" or "http://detail.tmall.hk/hk/item.htm?id=ID".
    std::vector<std::string> ExpectedLines(const Shop& shop) const;
    std::string ItemLine(const Item& item) const;

    // The item page address the analyser fetches (Taobao: item.taobao.com; Tmall: its line).
    std::string ItemPageAddress(const Item& item) const;

    ExpectedRow Expected(const Item& item) const;

    // The days /item-history/ID answers (empty for HistoryStyle::NoHistory), oldest first.
    std::vector<HistoryDay> History(const Item& item) const;
    // The server time the pages show ("now", ms); items differ by a few seconds.
    std::int64_t NowMs() const { return nowMs_; }

    // "http://t.cn/" + the code the short-link service gives for this (decoded, GBK) long address.
    static std::string ShortLinkFor(std::string_view longAddressGbk);

private:
    std::vector<Shop> shops_;
    std::vector<Item> items_;
    std::vector<std::string> foreignIds_;
    std::uint64_t seed_ = 0;
    std::int64_t nowMs_ = 0;
};

// "YYYY-MM-DD hh:mm:ss" of a count of seconds since 1970, read in UTC (the cells' time format).
std::string TimeTextUtc(std::int64_t seconds);

}  // namespace vantrel::demo
