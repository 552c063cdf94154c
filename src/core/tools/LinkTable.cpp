#include "tools/LinkTable.h"

#include "vantrel/Config.h"

namespace vantrel {
namespace {

// Hosts of the operations sites. The schemes and paths below are fixed; the hosts are configuration and may be
// pointed elsewhere by a build. Sites whose current public address is not known here carry ".invalid" names.
namespace host {
constexpr std::string_view kSellerAnalytics = "sycm.taobao.com";                  // 生意参谋
constexpr std::string_view kRankingList = "top.taobao.com";                       // 淘宝排行版
constexpr std::string_view kSearchIndex = "shu.taobao.com";                       // 淘宝指数
constexpr std::string_view kSearchDiagnosis = "search-diagnosis.taobao.invalid";  // 搜索诊断助手
constexpr std::string_view kPayPerClick = "subway.simba.taobao.com";              // 直通车
constexpr std::string_view kSellerForum = "bbs.taobao.com";                       // 站外TOP20万词表
constexpr std::string_view kDataReports = "qingbao.taobao.com";                   // 淘宝情报
constexpr std::string_view kWholesaleIndex = "index.1688.com";                    // 阿里指数
constexpr std::string_view kTemplates = "shop-templates.invalid";                 // 淘宝模板
constexpr std::string_view kMarketHome = "www.taobao.com";                        // 商品类目表
}  // namespace host

// Outside sites, whole addresses.
namespace outside {
constexpr std::string_view kKeywordListDisk = "http://cloud-disk.invalid/share/top200k-keywords";  // 站内TOP20万词表
constexpr std::string_view kSuperData = "http://super-data.invalid/";                              // 超级数据
constexpr std::string_view kBaiduIndex = "http://index.baidu.com/";                                // 百度指数
constexpr std::string_view kBaiduTrends = "http://top.baidu.com/";          // 百度搜索风云榜
constexpr std::string_view kWeiboLists = "http://s.weibo.com/top/summary";  // 新浪微博榜单
constexpr std::string_view kHaosouIndex = "http://index.haosou.com/";       // 好搜指数
}  // namespace outside

std::string Address(std::string_view scheme, std::string_view hostName, std::string_view path) {
    std::string a(scheme);
    a += "://";
    a += hostName;
    a += path;
    return a;
}

}  // namespace

const LinkTable& Links() {
    static const LinkTable table = {
        .operationSites =
            {
                {"生意参谋", Address("http", host::kSellerAnalytics, "/login.htm")},
                {"淘宝排行版", Address("http", host::kRankingList, "/")},
                {"淘宝指数", Address("http", host::kSearchIndex, "/")},
                {"搜索诊断助手", Address("http", host::kSearchDiagnosis, "/")},
                {"直通车", Address("http", host::kPayPerClick, "/")},
                {"站内TOP20万词表", std::string(outside::kKeywordListDisk)},
                {"站外TOP20万词表", Address("https", host::kSellerForum, "/catalog/thread/244117-258918740.htm")},
                {"淘宝情报", Address("http", host::kDataReports, "/")},
                {"超级数据", std::string(outside::kSuperData)},
                {"阿里指数", Address("http", host::kWholesaleIndex, "/alizs/home.htm")},
                {"百度指数", std::string(outside::kBaiduIndex)},
                {"百度搜索风云榜", std::string(outside::kBaiduTrends)},
                {"新浪微博榜单", std::string(outside::kWeiboLists)},
                {"好搜指数", std::string(outside::kHaosouIndex)},
                {"淘宝模板", Address("http", host::kTemplates, "/listpage/")},
                {"商品类目表", Address("https", host::kMarketHome, "/markets/tbhome/market-list")},
            },
        .otherProducts =
            {
                {"Kestrum 标题优化助手", "http://www.kestrum.invalid/products/title-helper"},
                {"Kestrum 关键词挖掘工具", "http://www.kestrum.invalid/products/keywords"},
                {"Kestrum 店铺监控工具", "http://www.kestrum.invalid/products/shop-watch"},
            },
        .makerHome = std::string(config::VendorHomeUrl),
        .makerShop = std::string(config::VendorShopUrl),
        .groupJoinPages = {std::string(config::VendorContact1Url), std::string(config::VendorContact2Url)},
    };
    return table;
}

}  // namespace vantrel
