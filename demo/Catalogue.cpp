#include "Catalogue.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "web/Encoding.h"

namespace vantrel::demo {
namespace {

// splitmix64: every value of the catalogue comes from (seed, shop, item, salt) alone, so an item is the same
// whatever the catalogue size.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

class Rng {
public:
    Rng(std::uint64_t seed, std::uint64_t shop, std::uint64_t index, std::uint64_t salt)
        : state_(Mix(Mix(Mix(seed) ^ shop * 0x100000001B3ull) ^ index * 0xC2B2AE3D27D4EB4Full) ^ salt) {}
    std::uint64_t Next() { return state_ = Mix(state_); }
    // Uniform in [lo, hi].
    std::int64_t Range(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Next() % N];
    }

private:
    std::uint64_t state_;
};

struct ShopPlan {
    const char* host;
    ShopKind kind;
    const char* name;
    int defaultItems;
    int missingOffset;  // chosen so that the default catalogue lacks every marker somewhere on both markets
    bool homeTitleHasName;
    const char* prefixes[6];
    const char* products[8];
    const char* suffixes[4];
};

// The shops, in the order of Catalogue::Shops(). Names hold no "-" (the report cuts the name at the next "-").
const ShopPlan kShops[] = {
    {"asyn-shop.taobao.com",
     ShopKind::TaobaoAsync,
     "小蜜蜂家居生活馆",
     46,
     0,
     true,
     {"北欧", "日式", "简约", "加厚", "创意", "ins风"},
     {"纯棉四件套", "收纳盒", "懒人沙发", "落地灯", "陶瓷餐具套装", "记忆棉枕头", "防滑地垫", "香薰加湿器"},
     {"家用", "包邮", "新款", "大号"}},
    {"search-shop.taobao.com",
     ShopKind::TaobaoSearch,
     "青禾原创女装",
     33,
     6,
     true,
     {"2016春季新款", "韩版", "宽松", "修身", "复古", "文艺"},
     {"长袖衬衫", "连衣裙", "针织开衫", "牛仔裤", "风衣外套", "半身裙", "卫衣", "阔腿裤"},
     {"女", "显瘦", "学生", "中长款"}},
    {"pagenum-shop.taobao.com",
     ShopKind::TaobaoSearchPageNum,
     "老街茶叶铺",
     27,
     3,
     true,
     {"2015新茶", "明前", "特级", "高山", "手工", "原产地"},
     {"西湖龙井", "铁观音", "普洱茶饼", "正山小种", "碧螺春", "白茶", "大红袍", "茉莉花茶"},
     {"250g", "礼盒装", "散装", "500g罐装"}},
    {"empty-shop.taobao.com",
     ShopKind::TaobaoEmpty,
     "新开小店",
     0,
     0,
     true,
     {"", "", "", "", "", ""},
     {"", "", "", "", "", "", "", ""},
     {"", "", "", ""}},
    {"mall-shop.tmall.com",
     ShopKind::TmallMain,
     "晨光数码旗舰店",
     41,
     0,
     true,
     {"官方正品", "顺丰包邮", "新品", "旗舰款", "限量版", "升级版"},
     {"蓝牙耳机", "移动电源", "机械键盘", "无线鼠标", "智能手环", "U盘64G", "平板保护套", "数据线"},
     {"黑色", "白色", "套餐一", "标配"}},
    {"global-shop.tmall.hk",
     ShopKind::TmallGlobal,
     "环球母婴海外旗舰店",
     18,
     8,
     false,
     {"澳洲进口", "日本直邮", "德国", "新西兰", "荷兰", "美国"},
     {"婴儿奶粉3段", "纸尿裤L码", "儿童维生素", "婴儿湿巾", "宝宝辅食米粉", "儿童牙膏", "奶瓶", "润肤乳"},
     {"2罐装", "保税仓发货", "新版", "包邮"}},
    {"render-error.tmall.com",
     ShopKind::TmallRenderError,
     "森林户外专营店",
     25,
     5,
     true,
     {"户外", "专业", "轻量", "防风", "透气", "耐磨"},
     {"登山鞋", "冲锋衣", "双人帐篷", "登山杖", "睡袋", "速干衣", "头灯", "登山包40L"},
     {"男女款", "防水", "秋冬", "加厚"}},
    {"redirect-shop.tmall.com",
     ShopKind::TmallRedirect,
     "云朵童装旗舰店",
     12,
     3,
     true,
     {"童装", "儿童", "宝宝", "中大童", "亲子装", "婴儿"},
     {"卫衣", "羽绒服", "连体衣", "运动鞋", "牛仔外套", "打底裤", "睡衣套装", "棉袜5双"},
     {"男童", "女童", "加绒", "春秋款"}},
};

constexpr int kForeignShopCode = 99;
constexpr int kFirstShopCode = 11;
constexpr std::int64_t kIndexSpace = 10000000;  // 7 digits of item index
constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kWeek = 604800;
constexpr std::int64_t kMarketOffset = 28800;  // UTC+8

std::string Digits(std::int64_t v, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(v));
    return buffer;
}

// 12 digits: "5", two of the seed, two of the shop, seven of a scrambled index. Same length for every id, so no
// id is a substring of another one.
std::string MakeId(std::uint64_t seed, int shopCode, int index) {
    const std::int64_t scrambled = (static_cast<std::int64_t>(index) * 7919 + 1234567) % kIndexSpace;
    return "5" + Digits(static_cast<std::int64_t>(10 + seed % 90), 2) + Digits(shopCode, 2) + Digits(scrambled, 7);
}

std::string Money(std::int64_t cents) {
    return std::to_string(cents / 100) + "." + Digits(cents % 100, 2);
}

// A count of seconds whose millisecond form has its first "000" in the millisecond digits: the analysers cut
// millisecond times at the first "000", so the seconds may neither hold "000" nor end in "0".
std::int64_t WithoutTripleZero(std::int64_t seconds) {
    while (std::to_string(seconds).find("000") != std::string::npos || seconds % 10 == 0) {
        ++seconds;
    }
    return seconds;
}

std::string StripSpaces(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string Alnum(Rng& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        s.push_back(kAlnum[rng.Next() % 62]);
    }
    return s;
}

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

std::string DateText(std::int64_t seconds) {
    int y = 0, m = 0, d = 0;
    std::int64_t days = seconds / kDay;
    if (seconds % kDay < 0) {
        --days;
    }
    CivilFromDays(days, y, m, d);
    return std::to_string(y) + "-" + Digits(m, 2) + "-" + Digits(d, 2);
}

}  // namespace

std::string TimeTextUtc(std::int64_t seconds) {
    std::int64_t rest = seconds % kDay;
    if (rest < 0) {
        rest += kDay;
    }
    return DateText(seconds) + " " + Digits(rest / 3600, 2) + ":" + Digits(rest / 60 % 60, 2) + ":" +
           Digits(rest % 60, 2);
}

std::string_view ShopKindName(ShopKind kind) {
    switch (kind) {
        case ShopKind::TaobaoAsync:
            return "taobao-async";
        case ShopKind::TaobaoSearch:
            return "taobao-search";
        case ShopKind::TaobaoSearchPageNum:
            return "taobao-search-pagenum";
        case ShopKind::TaobaoEmpty:
            return "taobao-empty";
        case ShopKind::TmallMain:
            return "tmall-main";
        case ShopKind::TmallGlobal:
            return "tmall-global";
        case ShopKind::TmallRenderError:
            return "tmall-render-error";
        case ShopKind::TmallRedirect:
            return "tmall-redirect";
    }
    return "?";
}

bool IsTmall(ShopKind kind) {
    return kind == ShopKind::TmallMain || kind == ShopKind::TmallGlobal || kind == ShopKind::TmallRenderError ||
           kind == ShopKind::TmallRedirect;
}

int Shop::PageCount() const {
    const int n = static_cast<int>(items.size());
    return std::max(1, (n + pageSize - 1) / pageSize);
}

Catalogue::Catalogue(const Options& options) : seed_(options.seed) {
    if (options.itemsPerShop < 0 || options.itemsPerShop > 10000) {
        throw std::invalid_argument("items per shop must be 0..10000");
    }
    if (options.pageSize < 1 || options.pageSize > 1000) {
        throw std::invalid_argument("page size must be 1..1000");
    }
    Rng clock(seed_, 0, 0, 0x7157);
    // A server time in early February 2016; every item page shows it a few seconds later.
    nowMs_ = WithoutTripleZero(1454284800 + clock.Range(0, kDay - 1)) * 1000;

    const int shopCount = static_cast<int>(std::size(kShops));
    for (int s = 0; s < shopCount; ++s) {
        const ShopPlan& plan = kShops[s];
        Shop shop;
        shop.host = plan.host;
        shop.kind = plan.kind;
        shop.name = plan.name;
        shop.homeTitleHasName = plan.homeTitleHasName;
        shop.address = "http://" + shop.host;
        shop.searchAddress =
            shop.address + (IsTmall(plan.kind) ? "/search.htm?search=y" : "/search.htm?orderType=hotsell_desc");
        shop.pageSize = options.pageSize;
        Rng shopRng(seed_, static_cast<std::uint64_t>(s) + 1, 0, 0x5409);
        if (plan.kind == ShopKind::TaobaoAsync || IsTmall(plan.kind)) {
            shop.key = std::to_string(shopRng.Range(10000000000, 19999999999));
        }
        if (plan.kind == ShopKind::TmallRedirect) {
            shop.redirectKey = std::to_string(shopRng.Range(10000000000, 19999999999));
            shop.redirectTarget = shop.address + "/search.htm?search=y&tbpm=1";
        }
        const int count = plan.kind == ShopKind::TaobaoEmpty ? 0
                          : options.itemsPerShop > 0         ? options.itemsPerShop
                                                             : plan.defaultItems;
        const bool tmall = IsTmall(plan.kind);
        for (int i = 0; i < count; ++i) {
            Rng rng(seed_, static_cast<std::uint64_t>(s) + 1, static_cast<std::uint64_t>(i) + 1, 0x17E3);
            Item item;
            item.shop = s;
            item.index = i;
            item.id = MakeId(seed_, kFirstShopCode + s, i);
            item.title = std::string(rng.Pick(plan.prefixes)) + " " + rng.Pick(plan.products);
            if (i % 16 == 9) {
                item.title += " &amp; ";  // raw entity text: cells keep it as the page writes it
            } else {
                item.title += " ";
            }
            item.title += std::string(rng.Pick(plan.suffixes)) + " " + Alnum(rng, 1) + Digits(rng.Range(1, 999), 3);

            const std::int64_t low = rng.Range(9, 599) * 100 + rng.Pick({0, 50, 90, 99});
            item.listPrice = Money(low);
            if (i % 5 == 2) {
                item.listPrice += " - " + Money(low + rng.Range(5, 120) * 100);
            }
            const std::int64_t sale = low * rng.Range(70, 100) / 100;
            item.salePrice = Money(sale);
            item.lowestPrice = i % 6 == 4 ? "'无'" : Money(sale * rng.Range(80, 100) / 100);
            item.favourites = std::to_string(rng.Range(0, 20000));
            const std::int64_t deals = rng.Range(0, 3000);
            item.deals30d = std::to_string(deals);
            item.receipts30d = std::to_string(deals * rng.Range(60, 100) / 100);
            item.reviews = std::to_string(rng.Range(0, 50000));
            if (tmall) {
                item.spuId = std::to_string(rng.Range(100000000, 999999999));
            }
            item.imagePath = "img.alicdn.com/bao/uploaded/i" + std::to_string(rng.Range(1, 4)) + "/" +
                             std::to_string(rng.Range(100000000, 999999999)) + "/TB1" + Alnum(rng, 20) +
                             "_!!0-item_pic.jpg";
            const std::int64_t listedSeconds = 1441036800 + rng.Range(0, 150 * kDay);  // Sep 2015 .. Jan 2016
            if (tmall) {
                item.listedMs = WithoutTripleZero(listedSeconds) * 1000;
            } else {
                item.listedMs = listedSeconds * 1000 + rng.Range(0, 999);
            }
            item.nowMs = WithoutTripleZero(nowMs_ / 1000 + i * 7) * 1000;
            item.rateApiSingleQuoted = i % 2 == 1;
            if (i % 8 == 5) {
                const int k = (i / 8 + plan.missingOffset) % 9;
                item.missing = k == 8 ? 0xFFu : 1u << k;
            }
            switch (i % 16) {
                case 1:
                    item.historyStyle = HistoryStyle::NoHistory;
                    break;
                case 2:
                    item.historyStyle = HistoryStyle::CommaInTitle;
                    break;
                case 3:
                    item.historyStyle = HistoryStyle::EmptyValues;
                    break;
                case 4:
                    item.historyStyle = HistoryStyle::Zeros;
                    break;
                default:
                    break;
            }
            shop.items.push_back(static_cast<int>(items_.size()));
            items_.push_back(std::move(item));
        }
        shops_.push_back(std::move(shop));
    }
    for (int i = 0; i < 4; ++i) {
        foreignIds_.push_back(MakeId(seed_, kForeignShopCode, i));
    }
}

const Shop* Catalogue::FindShop(std::string_view host) const {
    for (const Shop& shop : shops_) {
        if (shop.host == host) {
            return &shop;
        }
    }
    return nullptr;
}

const Shop& Catalogue::ShopOf(ShopKind kind) const {
    for (const Shop& shop : shops_) {
        if (shop.kind == kind) {
            return shop;
        }
    }
    throw std::logic_error("no shop of that kind");
}

const Item* Catalogue::FindItem(std::string_view id) const {
    // Ids encode shop and index: decode instead of searching 70,000 items.
    if (id.size() != 12 || id.find_first_not_of("0123456789") != std::string_view::npos) {
        return nullptr;
    }
    const int shopCode = std::stoi(std::string(id.substr(3, 2)));
    const int s = shopCode - kFirstShopCode;
    if (s < 0 || s >= static_cast<int>(shops_.size())) {
        return nullptr;
    }
    const std::int64_t scrambled = std::stoll(std::string(id.substr(5, 7)));
    // Inverse of index * 7919 + 1234567 modulo 10^7 (7919 * 17679 = 1 mod 10^7).
    const std::int64_t index = ((scrambled - 1234567 + kIndexSpace) % kIndexSpace) * 17679 % kIndexSpace;
    const Shop& shop = shops_[static_cast<std::size_t>(s)];
    if (index >= static_cast<std::int64_t>(shop.items.size())) {
        return nullptr;
    }
    const Item& item = items_[static_cast<std::size_t>(shop.items[static_cast<std::size_t>(index)])];
    return item.id == id ? &item : nullptr;
}

std::vector<const Item*> Catalogue::ItemsOf(const Shop& shop) const {
    std::vector<const Item*> out;
    for (int i : shop.items) {
        out.push_back(&items_[static_cast<std::size_t>(i)]);
    }
    return out;
}

std::string Catalogue::ItemLine(const Item& item) const {
    switch (shops_[static_cast<std::size_t>(item.shop)].kind) {
        case ShopKind::TmallGlobal:
            return "http://detail.tmall.hk/hk/item.htm?id=" + item.id;
        case ShopKind::TmallMain:
        case ShopKind::TmallRenderError:
        case ShopKind::TmallRedirect:
            return "http://detail.tmall.com/item.htm?id=" + item.id;
        default:
            return item.id;
    }
}

std::vector<std::string> Catalogue::ExpectedLines(const Shop& shop) const {
    std::vector<std::string> lines;
    for (const Item* item : ItemsOf(shop)) {
        lines.push_back(ItemLine(*item));
    }
    return lines;
}

std::string Catalogue::ItemPageAddress(const Item& item) const {
    return IsTmall(shops_[static_cast<std::size_t>(item.shop)].kind) ? ItemLine(item)
                                                                     : "http://item.taobao.com/item.htm?id=" + item.id;
}

ExpectedRow Catalogue::Expected(const Item& item) const {
    ExpectedRow row;
    row.known.fill(true);
    row.known[0] = false;
    auto& c = row.cells;
    const bool tmall = IsTmall(shops_[static_cast<std::size_t>(item.shop)].kind);
    const unsigned miss = item.missing;
    c[1] = Utf8ToGbk(item.title);
    if (!(miss & kNoListPrice)) {
        c[2] = StripSpaces(item.listPrice);
    }
    if (!(miss & kNoPriceHistory)) {
        c[3] = item.salePrice;
        c[4] = item.lowestPrice == "'无'" ? "-" : item.lowestPrice;
    }
    if (!(miss & kNoFavourites)) {
        c[5] = item.favourites;
    }
    if (!(miss & kNoSales)) {
        c[6] = item.deals30d;
        c[7] = item.receipts30d;
    }
    if (!(miss & kNoReviews)) {
        c[8] = item.reviews;
    }
    c[9] = (tmall ? "https://detail.tmall.com/item.htm?id=" : "https://item.taobao.com/item.htm?id=") + item.id;
    if (!(miss & kNoPicture)) {
        c[10] = "http://" + item.imagePath;
    }
    c[11] = item.id;
    if (tmall) {
        c[12] = "-";
        if (!(miss & kNoListingTime)) {
            const std::int64_t t = item.listedMs / 1000;
            c[13] = TimeTextUtc(t);
            c[14] = TimeTextUtc(t + kWeek);
        }
    } else {
        if (miss & kNoListingTime) {
            row.known[13] = row.known[14] = false;  // the previous item's listing time is used
        } else {
            const std::int64_t listed = item.listedMs / 1000 + kMarketOffset;
            c[12] = TimeTextUtc(listed);
            if (miss & kNoServerTime) {
                row.known[13] = row.known[14] = false;  // the analyser's clock
            } else {
                const std::int64_t now = item.nowMs / 1000;
                std::int64_t e = listed;
                if (e < now) {
                    e += (now - e + kWeek - 1) / kWeek * kWeek;
                }
                c[13] = TimeTextUtc(e - kWeek);
                c[14] = TimeTextUtc(e);
            }
        }
    }
    return row;
}

std::vector<HistoryDay> Catalogue::History(const Item& item) const {
    std::vector<HistoryDay> days;
    if (item.historyStyle == HistoryStyle::NoHistory) {
        return days;
    }
    Rng rng(seed_, static_cast<std::uint64_t>(item.shop) + 1, static_cast<std::uint64_t>(item.index) + 1, 0x4157);
    const int count = static_cast<int>(rng.Range(10, 30));
    const std::int64_t today = (nowMs_ / 1000 + kMarketOffset) / kDay * kDay;
    std::int64_t cents = std::stoll(item.salePrice.substr(0, item.salePrice.find('.'))) * 100;
    std::int64_t sales = rng.Range(0, 400);
    for (int d = 0; d < count; ++d) {
        HistoryDay day;
        day.date = DateText(today - (count - d) * kDay);
        if (rng.Range(0, 3) == 0) {
            cents = std::max<std::int64_t>(100, cents + rng.Range(-30, 30) * 100 + rng.Pick({0, 50, 90}));
        }
        sales += rng.Range(0, 25);
        day.priceCents = std::to_string(cents);
        day.sales = std::to_string(sales);
        day.title = rng.Range(0, 4) == 0 ? "【包邮】" + item.title : item.title;
        days.push_back(std::move(day));
    }
    switch (item.historyStyle) {
        case HistoryStyle::CommaInTitle:
            days[2].title = item.title + ",限时特惠";
            break;
        case HistoryStyle::EmptyValues:
            days[1].priceCents.clear();
            days[2].sales.clear();
            days[3].title.clear();
            days[4].date.clear();
            break;
        case HistoryStyle::Zeros:
            days[0].priceCents = "0";
            days[0].sales = "0";
            days[2].priceCents = "0";
            days[3].sales = "0";
            break;
        default:
            break;
    }
    return days;
}

std::string Catalogue::ShortLinkFor(std::string_view longAddressGbk) {
    std::uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (unsigned char b : longAddressGbk) {
        h = (h ^ b) * 0x100000001B3ull;
    }
    std::string code;
    for (int i = 0; i < 7; ++i) {
        code.push_back(kAlnum[h % 62]);
        h /= 62;
    }
    return "http://t.cn/" + code;
}

}  // namespace vantrel::demo
