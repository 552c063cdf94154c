// The window-free parts of the shop run.
#include "run/RunController.h"

#include "analysis/ItemAnalysers.h"
#include "analysis/ItemIdList.h"
#include "analysis/TextOps.h"
#include "app/FileIO.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"
#include "web/ShopCrawlers.h"

namespace vantrel {

NormalisedAddress NormaliseShopAddress(std::string_view typed) {
    NormalisedAddress r;
    r.spacesRemoved = text::StripSpaces(typed);
    r.schemeReplaced = text::ReplaceAll(r.spacesRemoved, "https://", "http://", text::Case::Insensitive);
    r.withScheme = r.schemeReplaced;
    if (!r.withScheme.empty() && r.withScheme.compare(0, 7, "http://") != 0) {
        r.withScheme = "http://" + r.withScheme;
    }
    return r;
}

ShopKind ShopKindOf(std::string_view address) {
    if (text::Contains(address, config::TaobaoDomainMark)) {
        return ShopKind::Taobao;
    }
    if (text::Contains(address, config::TmallDomainMark)) {
        return ShopKind::Tmall;
    }
    return ShopKind::None;
}

std::string HostOnlyAddress(std::string_view normalised) {
    const std::vector<std::string> pieces = text::Split(normalised, "/");
    return "http://" + (pieces.size() >= 3 ? pieces[2] : std::string());
}

std::string BrowserTargetFor(std::string_view shopAddress) {
    switch (ShopKindOf(shopAddress)) {
        case ShopKind::Taobao:
            return std::string(shopAddress) + "/search.htm?orderType=hotsell_desc";
        case ShopKind::Tmall:
            return std::string(shopAddress) + "/search.htm?search=y";
        case ShopKind::None:
            break;
    }
    return std::string();
}

bool SaveAddressHistory(const std::filesystem::path& file, std::string_view address) {
    const std::string old = ReadWholeFile(file).value_or(std::string());
    std::string out(address);
    out += "\r\n";
    // Keep every line except those equal to the address (a line is a piece ended by CR LF; a last piece
    // without CR LF, as a hand-edited file may have, is dropped too when it equals the address).
    std::size_t start = 0;
    while (start < old.size()) {
        const std::size_t end = text::Find(old, "\r\n", start);
        if (end == text::npos) {
            if (std::string_view(old).substr(start) != address) {
                out.append(old, start, std::string::npos);
            }
            break;
        }
        if (std::string_view(old).substr(start, end - start) != address) {
            out.append(old, start, end + 2 - start);
        }
        start = end + 2;
    }
    return WriteFileAtomic(file, out);
}

std::optional<std::vector<std::string>> LoadAddressHistory(const std::filesystem::path& file) {
    std::optional<std::string> content = ReadWholeFile(file);
    if (!content || !text::Contains(*content, "http")) {
        return std::nullopt;
    }
    return ItemIdList::SplitLines(*content);
}

void BeginRun(RunState& state) {
    state.Items.Clear();
    state.SetListingPageText(std::string());
}

CrawlerKind ChooseCrawler(std::string_view shopAddress, std::string_view listingPageText) {
    switch (ShopKindOf(shopAddress)) {
        case ShopKind::Taobao:
            return text::Contains(listingPageText, "?mid=w") ? CrawlerKind::TaobaoShop : CrawlerKind::TaobaoSearch;
        case ShopKind::Tmall:
            return CrawlerKind::TmallShop;
        case ShopKind::None:
            break;
    }
    return CrawlerKind::None;
}

void RunCrawler(CrawlerKind kind, RunHost& host) {
    switch (kind) {
        case CrawlerKind::TaobaoShop:
            TaobaoShopCrawler(host);
            break;
        case CrawlerKind::TaobaoSearch:
            TaobaoSearchCrawler(host);
            break;
        case CrawlerKind::TmallShop:
            TmallShopCrawler(host);
            break;
        case CrawlerKind::None:
            break;
    }
}

void RunAnalyser(std::string_view shopAddress, RunHost& host) {
    if (text::Contains(shopAddress, config::TaobaoDomainMark)) {
        TaobaoItemAnalyser(host);
    } else {
        TmallItemAnalyser(host);
    }
}

#define VANTREL_GBK_TEXT(name, utf8)                  \
    const std::string& name() {                       \
        static const std::string s = Utf8ToGbk(utf8); \
        return s;                                     \
    }

namespace texts {
VANTREL_GBK_TEXT(BadAddress, "请输入淘宝店或天猫店首页网址！")
VANTREL_GBK_TEXT(WarningTitle, "Lumora提醒您：")
VANTREL_GBK_TEXT(AnalysingAddress, "正在分析商品地址中……")
VANTREL_GBK_TEXT(Downloading, "正在下载数据中……")
VANTREL_GBK_TEXT(Finished, "已完成任务！")
VANTREL_GBK_TEXT(DownloadFailed, "下载失败，请清除COOKIES缓存后再重试！")
VANTREL_GBK_TEXT(NetworkTimeout, "网络超时，请重试！")
VANTREL_GBK_TEXT(NetworkTimeoutCookies, "网络超时，请清除COOKIES后重试！")
}  // namespace texts
#undef VANTREL_GBK_TEXT

}  // namespace vantrel
