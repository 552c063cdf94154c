// The parts of a shop run that need no window: address clean-up and check, address history, the choice
// of crawler and analyser, and the run's fixed texts. The desktop program and vantrel-cli share them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/RunHost.h"

namespace vantrel {

enum class ShopKind { None, Taobao, Tmall };
enum class CrawlerKind { None, TaobaoShop, TaobaoSearch, TmallShop };

// The three clean-up steps applied to the address box, each result in order (the box shows every one):
// spaces removed, "https://" (any case) replaced by "http://", "http://" put in front when missing.
struct NormalisedAddress {
    std::string spacesRemoved;
    std::string schemeReplaced;
    std::string withScheme;  // the final text
};
NormalisedAddress NormaliseShopAddress(std::string_view typed);

// Taobao if the text holds TaobaoDomainMark, else Tmall if it holds TmallDomainMark, else None (exact case).
ShopKind ShopKindOf(std::string_view address);

// "http://" + the third "/"-piece of a normalised address (host and port; path and query dropped).
std::string HostOnlyAddress(std::string_view normalised);

// The search page the login window opens for the shop: Taobao + "/search.htm?orderType=hotsell_desc",
// Tmall + "/search.htm?search=y"; empty for an address of neither kind.
std::string BrowserTargetFor(std::string_view shopAddress);

// "url.txt" in the data folder: most recent first, CR LF lines, GBK. Every line equal to the address is
// removed and the address is put first; the file is replaced with WriteFileAtomic (false on failure).
bool SaveAddressHistory(const std::filesystem::path& file, std::string_view address);
// The entries to show, or nullopt when the file is missing, unreadable or holds no "http". The text is
// split at CR LF; a final empty piece is dropped, empty pieces between two CR LF stay.
std::optional<std::vector<std::string>> LoadAddressHistory(const std::filesystem::path& file);

// Start of a new run (the hosts' StartRun): empties ItemIdList and ListingPageText, so that a run never
// analyses the items of an earlier shop. Within one run the crawl stages append.
void BeginRun(RunState& state);

CrawlerKind ChooseCrawler(std::string_view shopAddress, std::string_view listingPageText);
// Runs the chosen crawler / the analyser for the shop kind on the calling thread (Taobao analyser when the
// address holds TaobaoDomainMark, else the Tmall analyser). CrawlerKind::None does nothing.
void RunCrawler(CrawlerKind kind, RunHost& host);
void RunAnalyser(std::string_view shopAddress, RunHost& host);

// Texts of the run (GBK).
namespace texts {
const std::string& BadAddress();             // "请输入淘宝店或天猫店首页网址！"
const std::string& WarningTitle();           // "Lumora提醒您："
const std::string& AnalysingAddress();       // "正在分析商品地址中……"
const std::string& Downloading();            // "正在下载数据中……"
const std::string& Finished();               // "已完成任务！"
const std::string& DownloadFailed();         // "下载失败，请清除COOKIES缓存后再重试！"
const std::string& NetworkTimeout();         // "网络超时，请重试！"
const std::string& NetworkTimeoutCookies();  // "网络超时，请清除COOKIES后重试！"
}  // namespace texts

}  // namespace vantrel
