// The three shop listing crawlers over the run host.
#include "web/ShopCrawlers.h"

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/TextOps.h"
#include "run/RunController.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"
#include "web/WebRequest.h"

namespace vantrel {
namespace {

using text::Case;
using text::Contains;
using text::DeleteAll;
using text::PieceAfter;
using text::PieceBefore;
using text::ReplaceAll;

// The GBK form of a marker written in this UTF-8 source.
const std::string& NextPageLink() {
    static const std::string s = Utf8ToGbk(">下一页</a>");
    return s;
}
const std::string& PreviousPageLink() {
    static const std::string s = Utf8ToGbk("上一页</a>");
    return s;
}

constexpr std::string_view EscapedPagerMark = "page-info\\\">";
constexpr std::string_view kPagerMark = "page-info>";
constexpr std::string_view PageSizeMark = "ui-page-s-len\">";
constexpr std::string_view EscapedPageSizeMark = "ui-page-s-len\\\">";
constexpr std::string_view kItemLink = "item.htm?id=";

std::string Get(RunHost& host, const std::string& address) {
    return web::PageText(host.Fetch(address));
}

// A line that can stand in ItemIdList: not empty and without a line break (which would split it).
bool UsableLine(std::string_view line) {
    return !line.empty() && line.find('\r') == std::string_view::npos && line.find('\n') == std::string_view::npos;
}

void Collect(RunHost& host, std::string_view line) {
    if (UsableLine(line)) {
        host.State().Items.AppendLine(line);
    }
}

// Page count of a pager: PieceAfter(page, mark), up to `end`, after "/".
int PagerCount(std::string_view page, std::string_view mark, std::string_view end) {
    return ListingPageCount(PieceAfter(PieceBefore(PieceAfter(page, mark), end), "/"));
}

void Fail(RunHost& host, const std::string& text) {
    host.SetStatus(text);
    host.FinishRun(text);
}

// Removes the link suffixes that would otherwise stick to an id.
std::string CleanTaobaoText(std::string_view s) {
    std::string r = DeleteAll(s, ");");
    r = DeleteAll(r, "scene=taobao_shop", Case::Insensitive);
    r = DeleteAll(r, "scenetaobao_shop", Case::Insensitive);
    r = DeleteAll(r, "on_comment=1", Case::Insensitive);
    return r;
}

std::string LeadingDigits(std::string_view s) {
    std::size_t n = 0;
    while (n < s.size() && s[n] >= '0' && s[n] <= '9') {
        ++n;
    }
    return std::string(s.substr(0, n));
}

}  // namespace

int ListingPageCount(std::string_view afterSlash) {
    const std::int64_t n = text::Trunc(text::Number(afterSlash));
    if (n < 1) {
        return 1;
    }
    if (n > kMaxListingPages) {
        return kMaxListingPages;
    }
    return static_cast<int>(n);
}

void TaobaoShopCrawler(RunHost& host) {
    std::string page = host.State().ListingPageText();
    if (!Contains(page, "?mid=w")) {
        Fail(host, texts::NetworkTimeout());
        return;
    }
    const std::string shopMark = PieceBefore(PieceAfter(page, "?mid=w"), "&");
    const std::string baseAddress =
        host.ShopAddress() + "/i/asynSearch.htm?path=/search.htm&search=y&pageNo=1&mid=w" + shopMark;

    if (host.Cancelled()) {
        return;
    }
    page = Get(host, baseAddress);
    int count = 1;
    if (Contains(page, EscapedPagerMark)) {
        count = PagerCount(page, EscapedPagerMark, "</");
    }

    for (int n = 1; n <= count; ++n) {
        std::string address = baseAddress;
        if (n >= 2) {
            if (host.Cancelled()) {
                return;
            }
            address = ReplaceAll(baseAddress, "pageNo=1", "pageNo=" + std::to_string(n), Case::Insensitive);
            page = Get(host, address);
        }
        host.Progress(Stage::Crawl, n, count, address);

        std::string part = Contains(page, NextPageLink()) ? PieceAfter(page, NextPageLink()) : page;
        part = CleanTaobaoText(part);
        if (Contains(part, kItemLink)) {
            const std::vector<std::string> pieces = text::Split(part, kItemLink);
            for (std::size_t i = 1; i < pieces.size(); ++i) {
                // The closing double quote of a link is escaped by a backslash in this answer.
                Collect(host, DeleteAll(PieceBefore(pieces[i], "\\"), "&"));
            }
        }
    }
    if (host.Cancelled()) {
        return;
    }
    host.ArmAnalysis();
}

void TaobaoSearchCrawler(RunHost& host) {
    std::string page = host.State().ListingPageText();
    if (!Contains(page, kPagerMark)) {
        Fail(host, texts::NetworkTimeout());
        return;
    }
    const int count = PagerCount(page, kPagerMark, "<");
    std::string pageParam = "pageNo";
    const std::string shop = host.ShopAddress();

    for (int n = 1; n <= count; ++n) {
        std::string address = shop + "/search.htm?orderType=hotsell_desc";
        if (n >= 2) {
            if (host.Cancelled()) {
                return;
            }
            address += "&" + pageParam + "=" + std::to_string(n);
            page = Get(host, address);
        }
        host.Progress(Stage::Crawl, n, count, address);
        if (!Contains(page, "pageNo")) {
            pageParam = "pageNum";
        }
        if (Contains(page, kItemLink)) {
            page = DeleteAll(page, "&on_comment=1");
            page = DeleteAll(page, "&amp;on_comment=1");
            const std::vector<std::string> pieces = text::Split(page, kItemLink);
            for (std::size_t i = 1; i < pieces.size(); ++i) {
                if (n == 1) {
                    // Page 1 is the captured page, whose double quotes the login window removed: the id
                    // is the run of digits that follows the link's "id=".
                    Collect(host, LeadingDigits(pieces[i]));
                } else {
                    Collect(host, DeleteAll(CleanTaobaoText(PieceBefore(pieces[i], "\"")), "&"));
                }
            }
        }
        if (!host.Pause(1000)) {
            return;
        }
    }
    if (host.Cancelled()) {
        return;
    }
    host.ArmAnalysis();
}

void TmallShopCrawler(RunHost& host) {
    std::string page = host.State().ListingPageText();
    const std::string shop = host.ShopAddress();
    const std::string ItemLinkPrefix = Contains(shop, config::TmallMainDomainMark)
                                           ? std::string(config::MallDetailHost) + "/item.htm?id="
                                           : std::string(config::MallGlobalDetailHost) + "/hk/item.htm?id=";

    // Key search, bounded (the program repeated it without end).
    for (int attempt = 0; !Contains(page, "?mid=w-") && attempt < kTmallKeySearchAttempts; ++attempt) {
        if (host.Cancelled()) {
            return;
        }
        host.ClearBrowserState();
        page = Get(host, shop + "/search.htm?search=y");
    }
    if (!Contains(page, "?mid=w-")) {
        if (host.Cancelled()) {
            return;
        }
        Fail(host, texts::NetworkTimeoutCookies());
        return;
    }

    const std::string shopKey = PieceBefore(PieceAfter(page, "?mid=w-"), "-0");
    const std::string shopPage = page;
    std::string baseAddress = shop + "/i/asynSearch.htm?mid=w-" + shopKey + "-0&path=/search.htm&&search=y&pageNo=1";
    if (host.Cancelled()) {
        return;
    }
    page = Get(host, baseAddress);

    auto collectIds = [&](const std::string& listing) {
        const std::vector<std::string> pieces = text::Split(listing, ItemLinkPrefix);
        for (std::size_t i = 1; i < pieces.size(); ++i) {
            const std::string id = PieceBefore(pieces[i], "&");
            if (id.find('"') == std::string::npos && UsableLine(id)) {
                Collect(host, "http://" + ItemLinkPrefix + id);
            }
        }
    };
    auto pageAddress = [&](int n) { return ReplaceAll(baseAddress, "pageNo=1", "pageNo=" + std::to_string(n)); };

    if (Contains(page, "default render error")) {
        // Search-page branch.
        page = shopPage;
        baseAddress = shop + "/search.htm?search=y&pageNo=1";
        if (Contains(page, PageSizeMark)) {
            const int count = PagerCount(page, PageSizeMark, "<");
            for (int n = 1; n <= count; ++n) {
                std::string address = baseAddress;
                if (n >= 2) {
                    if (host.Cancelled()) {
                        return;
                    }
                    address = pageAddress(n);
                    page = Get(host, address);
                }
                host.Progress(Stage::Crawl, n, count, address);
                page = PieceBefore(PieceAfter(page, PageSizeMark), PreviousPageLink());
                collectIds(page);
            }
        } else if (!Contains(page, "window.location.href='")) {
            // Redirect check: neither a pager nor a script redirect.
            host.SetStatus(texts::NetworkTimeoutCookies());
        } else {
            host.State().SetBrowserTargetUrl(PieceBefore(PieceAfter(page, "window.location.href='"), "'"));
            host.State().SetListingPageText(std::string());
            host.ClearBrowserState();
            host.ReopenLoginWindow();
        }
    } else {
        // Asynchronous branch.
        int count = 1;
        if (Contains(page, EscapedPageSizeMark)) {
            count = PagerCount(page, EscapedPageSizeMark, "<");
        }
        for (int n = 1; n <= count; ++n) {
            std::string address = baseAddress;
            if (n >= 2) {
                address = pageAddress(n);
                page.clear();
                for (int attempt = 0; page.empty() && attempt < 5; ++attempt) {
                    if (host.Cancelled()) {
                        return;
                    }
                    page = Get(host, address);
                }
            }
            host.Progress(Stage::Crawl, n, count, address);
            if (Contains(page, "ui-page-s-len") && Contains(page, PreviousPageLink())) {
                page = PieceBefore(PieceAfter(page, "ui-page-s-len"), PreviousPageLink());
                collectIds(page);
            }
        }
    }
    if (host.Cancelled()) {
        return;
    }
    host.ArmAnalysis();
}

}  // namespace vantrel
