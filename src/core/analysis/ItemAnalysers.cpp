// The Taobao and Tmall item analysers over the run host.
#include "analysis/ItemAnalysers.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/ItemIdList.h"
#include "analysis/ResultTable.h"
#include "analysis/TextOps.h"
#include "analysis/TimeText.h"
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
using text::StripSpaces;

constexpr std::int64_t kWeek = 604800;

const std::string& TaobaoTitleEnd() {
    static const std::string s = Utf8ToGbk("-淘宝网</title>");
    return s;
}
const std::string& CurrentPriceMark() {
    static const std::string s = Utf8ToGbk("当前价：<b>");
    return s;
}
const std::string& LowestPriceMark() {
    static const std::string s = Utf8ToGbk("最低价：<");
    return s;
}
const std::string& NoLowestPrice() {
    static const std::string s = Utf8ToGbk("'无'");
    return s;
}
std::string DetailSkipMarker() {
    return std::string(config::DetailSkipHost) + "/json/ifq.htm?";
}
std::string SecurityCheckMarker() {
    return std::string(config::SecurityCheckHost) + "/query.htm?";
}

std::string Get(RunHost& host, const std::string& address) {
    return web::PageText(host.Fetch(address));
}

std::string TimeCell(std::int64_t v) {
    return FormatTimeText(UnixToDateTime(v));
}

// Whole leading number of a text, as an integer (0 when there is none).
std::int64_t LeadingInteger(std::string_view s) {
    return text::Trunc(text::Number(StripSpaces(s)));
}

enum class Outcome { Done, Missing, Cancelled };

// The bounded item-page loop: fetch until the page is not empty and holds stopMark.
Outcome FetchItemPage(RunHost& host, const std::string& address, std::string_view stopMark, std::string& page) {
    int pause = 1;
    for (int attempt = 0; attempt < kItemPageTries; ++attempt) {
        if (host.Cancelled()) {
            return Outcome::Cancelled;
        }
        page = Get(host, address);
        if (!host.Pause(pause)) {
            return Outcome::Cancelled;
        }
        if (!page.empty() && Contains(page, stopMark)) {
            return Outcome::Done;
        }
        pause = std::min(pause * 2, kItemPageMaxPauseMs);
    }
    page.clear();
    return Outcome::Missing;
}

// Security-check hand-off to the login window: false when the pass was cancelled while waiting.
bool AwaitSecurityCheck(RunHost& host, const std::string& query) {
    RunState& state = host.State();
    state.VerifyPending = 1;
    state.SetBrowserTargetUrl("http://" + std::string(config::SecurityCheckHost) + "/query.htm?" + query);
    state.BrowserPurpose = 9;
    host.ArmSecurityCheck();
    while (state.VerifyPending.load() == 1) {
        if (host.Cancelled() || !host.Pause(100)) {
            return false;
        }
    }
    return !host.Cancelled();
}

// Favourites counter: false when cancelled.
bool Favourites(RunHost& host, int row, const std::string& page) {
    if (!Contains(page, "ICCP_1_")) {
        return true;
    }
    const std::string key = StripSpaces(DeleteAll(PieceBefore(PieceAfter(page, "ICCP_1_"), ","), "\""));
    if (host.Cancelled()) {
        return false;
    }
    const std::string resp = DeleteAll(
        Get(host, "http://" + std::string(config::CounterHost) + "/counter3?keys=ICCP_1_" + key + "&callback=json"),
        "\"");
    if (Contains(resp, key + ":")) {
        host.SetCell(row, kFavourites, PieceBefore(PieceAfter(resp, key + ":"), "}"));
    }
    return true;
}

// A sales-counter answer made cuttable: no spaces or tabs, every "}" a ",".
std::string CleanSalesAnswer(std::string_view body) {
    return ReplaceAll(DeleteAll(StripSpaces(body), "\t"), "}", ",");
}

void SalesCells(RunHost& host, int row, const std::string& resp) {
    if (Contains(resp, "quanity:")) {
        host.SetCell(row, kDeals30d, PieceBefore(PieceAfter(resp, "quanity:"), ","));
    }
    if (Contains(resp, "confirmGoods:")) {
        host.SetCell(row, kReceipts30d, PieceBefore(PieceAfter(resp, "confirmGoods:"), ","));
    }
}

// Current and lowest price from the price-history site: false when cancelled.
bool Prices(RunHost& host, int row, const std::string& id) {
    const std::string address = "http://" + std::string(config::PriceHistoryHost) + "/price/?id=" + id;
    std::string resp;
    for (int tries = 5; !Contains(resp, CurrentPriceMark()) && tries >= 1; --tries) {
        if (host.Cancelled()) {
            return false;
        }
        resp = Get(host, address);
        if (!host.Pause(50)) {
            return false;
        }
    }
    if (Contains(resp, CurrentPriceMark())) {
        host.SetCell(row, kSalePrice, PieceBefore(PieceAfter(resp, CurrentPriceMark()), "</"));
    }
    if (Contains(resp, LowestPriceMark())) {
        host.SetCell(
            row, kLowestPrice,
            ReplaceAll(PieceAfter(PieceBefore(PieceAfter(resp, LowestPriceMark()), "</"), ">"), NoLowestPrice(), "-"));
    }
    return true;
}

// The frame of a pass: one row per ItemIdList line; item(i, n, line) returns false when the pass was cancelled.
template <typename Item>
void RunFrame(RunHost& host, Item item) {
    host.SetStatus(texts::Downloading());
    host.ClearResults();
    const std::string listText = host.State().Items.Text();
    if (!Contains(listText, "\r\n")) {
        host.FinishRun(texts::DownloadFailed());
        return;
    }
    const std::vector<std::string> lines = ItemIdList::SplitLines(listText);
    const int n = static_cast<int>(lines.size());
    for (int i = 1; i <= n; ++i) {
        if (host.Cancelled() || !item(i, n, lines[static_cast<std::size_t>(i - 1)])) {
            return;
        }
    }
    if (host.Cancelled()) {
        return;
    }
    host.FinishRun(texts::Finished());
}

// ---- Taobao ----

// ListingCycle: E = L, then E + 604800 while E < N; computed in one step (no walk week by week, so a
// hostile L or N cannot make it slow), without overflow: the result lies in [N, N + 604800).
std::int64_t ListingCycle(std::int64_t listed, std::int64_t now) {
    if (listed >= now) {
        return listed;
    }
    // now - listed as an unsigned count (exact: the true difference is below 2^64).
    const std::uint64_t diff = static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(listed);
    const std::uint64_t week = static_cast<std::uint64_t>(kWeek);
    const std::uint64_t up = (week - diff % week) % week;
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(now) + up);
}

bool TaobaoItem(RunHost& host, int i, int n, const std::string& id) {
    host.Progress(Stage::Analysis, i, n, id);
    const int row = host.AppendRow(std::to_string(i));
    if (id.empty()) {
        return true;  // an empty line: nothing to fetch, column 0 only
    }
    const std::string itemUrl = "https://" + std::string(config::ItemPageHost) + "/item.htm?id=" + id;

    std::string page;
    switch (FetchItemPage(host, "http://" + std::string(config::ItemPageHost) + "/item.htm?id=" + id, TaobaoTitleEnd(),
                          page)) {
        case Outcome::Cancelled:
            return false;
        case Outcome::Missing:
            host.SetCell(row, kItemUrl, itemUrl);
            host.SetCell(row, kItemId, id);
            return true;
        case Outcome::Done:
            break;
    }

    host.SetCell(row, kTitle, PieceBefore(PieceAfter(page, "<title>"), TaobaoTitleEnd()));

    const std::string priceMark = "tb-rmb-num\">";
    if (Contains(page, priceMark)) {
        host.SetCell(row, kListPrice, StripSpaces(PieceBefore(PieceAfter(page, priceMark), "<")));
    }

    if (!Favourites(host, row, page)) {
        return false;
    }

    // Sales counters, up to 10 tries, one security check.
    const std::string skipMarker = DetailSkipMarker();
    const std::string secMarker = SecurityCheckMarker();
    if (Contains(page, skipMarker)) {
        page = ReplaceAll(page, "'", "\"");
        const std::string url = StripSpaces("http://" + std::string(config::DetailSkipHost) + "/json/ifq.htm?" +
                                            PieceBefore(PieceAfter(page, skipMarker), "\""));
        std::string resp;
        auto fetchLoop = [&]() {
            resp.clear();
            for (int tries = 10; !Contains(resp, "quanity:") && tries >= 1; --tries) {
                if (host.Cancelled()) {
                    return false;
                }
                resp = CleanSalesAnswer(Get(host, url));
            }
            return true;
        };
        if (!fetchLoop()) {
            return false;
        }
        if (Contains(resp, secMarker)) {
            if (!AwaitSecurityCheck(host, PieceBefore(PieceAfter(resp, secMarker), "\"")) || !fetchLoop()) {
                return false;
            }
        }
        SalesCells(host, row, resp);
    }

    // Review counter (always runs), up to 10 tries, one security check.
    page = ReplaceAll(page, "rateCounterApi   : '", "rateCounterApi:\"", Case::Insensitive);
    page = ReplaceAll(page, "',", "\"");
    for (int k = 0; k < 10; ++k) {
        page = ReplaceAll(page, " :", ":");
        page = ReplaceAll(page, ": ", ":");
    }
    const std::string rateMark = "rateCounterApi:\"";
    if (Contains(page, rateMark)) {
        const std::string url = StripSpaces(
            DeleteAll("http:" + PieceBefore(PieceAfter(page, rateMark), "\"") + "&callback=jsonp120", "\""));
        std::string resp;
        std::string raw;  // the last answer as it came, for the security-check query
        auto fetchLoop = [&]() {
            resp.clear();
            for (int tries = 10; !Contains(resp, id) && tries >= 1; --tries) {
                if (host.Cancelled()) {
                    return false;
                }
                raw = Get(host, url);
                resp = ReplaceAll(DeleteAll(raw, "\""), "}", ",");
            }
            return true;
        };
        if (!fetchLoop()) {
            return false;
        }
        if (Contains(resp, secMarker)) {
            // The query is cut from the answer before its double quotes were deleted, so that it ends at
            // the quote that closes the address.
            if (!AwaitSecurityCheck(host, PieceBefore(PieceAfter(raw, secMarker), "\"")) || !fetchLoop()) {
                return false;
            }
        }
        if (Contains(resp, id + ":")) {
            host.SetCell(row, kReviews, PieceBefore(PieceAfter(resp, id + ":"), ","));
        }
    }

    host.SetCell(row, kItemUrl, itemUrl);

    if (Contains(page, "tb-pic tb-s50")) {
        host.SetCell(
            row, kImageUrl,
            "http://" + PieceAfter(PieceBefore(PieceAfter(page, "tb-pic tb-s50"), "_50x50.jpg"), "data-src=\"//"));
    }

    host.SetCell(row, kItemId, id);

    // Listing time L, current time N and the listing cycle. Without "dbst" cells 12-14 stay empty.
    if (Contains(page, "dbst")) {
        const double ms = text::Number(StripSpaces(PieceAfter(PieceBefore(PieceAfter(page, "dbst"), ","), ":")));
        const std::int64_t listed = text::Trunc(ms / 1000 + 28800);
        host.SetCell(row, kListedAt, TimeCell(listed));

        std::int64_t now = 0;
        const std::string nowMark = "now\":";
        if (Contains(page, nowMark)) {
            now = LeadingInteger(PieceAfter(page, nowMark)) / 1000;  // server milliseconds to seconds
        } else {
            now = DateTimeToUnix(LocalNow());
        }
        const std::int64_t end = ListingCycle(listed, now);
        host.SetCell(row, kPublishedAt, TimeCell(end - kWeek));
        host.SetCell(row, kDelistAt, TimeCell(end));
    }

    return Prices(host, row, id);
}

// ---- Tmall ----

// The sales query of a Tmall page (its quotes already deleted): after the marker up to the first comma, blank, "<",
// ">", single quote,
// "}" or ")" (scanning by GBK characters), or to the end of the piece.
std::string TmallSalesQuery(std::string_view page, std::string_view marker) {
    const std::string piece = PieceAfter(page, marker);
    std::size_t i = 0;
    while (i < piece.size()) {
        const auto c = static_cast<unsigned char>(piece[i]);
        if (c >= 0x80) {
            i += 2;
            continue;
        }
        if (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '<' || c == '>' || c == '\'' ||
            c == '}' || c == ')') {
            break;
        }
        ++i;
    }
    return piece.substr(0, std::min(i, piece.size()));
}

bool TmallItem(RunHost& host, int i, int n, const std::string& line) {
    const std::string id = Contains(line, "id=") ? PieceAfter(line, "id=") : std::string();
    host.Progress(Stage::Analysis, i, n, id);
    const int row = host.AppendRow(std::to_string(i));
    if (id.empty()) {
        // A line without an id: nothing to fetch; never the id of an earlier line.
        host.SetCell(row, kListedAt, "-");
        return true;
    }
    const std::string itemUrl = "https://" + std::string(config::MallDetailHost) + "/item.htm?id=" + id;

    std::string page;
    switch (FetchItemPage(host, line, "-tmall.", page)) {
        case Outcome::Cancelled:
            return false;
        case Outcome::Missing:
            host.SetCell(row, kItemUrl, itemUrl);
            host.SetCell(row, kItemId, id);
            host.SetCell(row, kListedAt, "-");
            return true;
        case Outcome::Done:
            break;
    }

    if (Contains(page, "<title>")) {
        host.SetCell(row, kTitle, PieceBefore(PieceAfter(page, "<title>"), "-tmall."));
    }
    page = DeleteAll(page, "\"");

    if (Contains(page, "defaultItemPrice:")) {
        host.SetCell(row, kListPrice, StripSpaces(PieceBefore(PieceAfter(page, "defaultItemPrice:"), ",")));
    }

    if (!Favourites(host, row, page)) {
        return false;
    }

    const std::string skipMarker = DetailSkipMarker();
    if (Contains(page, skipMarker)) {
        const std::string url = StripSpaces("http://" + std::string(config::DetailSkipHost) + "/json/ifq.htm?" +
                                            TmallSalesQuery(page, skipMarker));
        if (host.Cancelled()) {
            return false;
        }
        SalesCells(host, row, CleanSalesAnswer(Get(host, url)));
    }

    if (Contains(page, "spuId:")) {
        const std::string spu = PieceBefore(PieceAfter(page, "spuId:"), ",");
        const std::string url =
            StripSpaces(DeleteAll("http://" + std::string(config::MallRateHost) + "/list_dsr_info.htm?itemId=" + id +
                                      "&spuId=" + spu + "&callback=jsonp160",
                                  "\""));
        if (host.Cancelled()) {
            return false;
        }
        const std::string resp = ReplaceAll(DeleteAll(Get(host, url), "\""), "}", ",");
        if (Contains(resp, "rateTotal:")) {
            host.SetCell(row, kReviews, PieceBefore(PieceAfter(resp, "rateTotal:"), ","));
        }
    }

    host.SetCell(row, kItemUrl, itemUrl);

    if (Contains(page, "J_UlThumb")) {
        host.SetCell(row, kImageUrl,
                     "http://" + PieceAfter(PieceBefore(PieceAfter(page, "J_UlThumb"), "_60x60q90.jpg"), "src=//"));
    }

    host.SetCell(row, kItemId, id);
    host.SetCell(row, kListedAt, "-");

    if (Contains(page, "date=")) {
        const std::int64_t t = LeadingInteger(PieceAfter(page, "date=")) / 1000;  // milliseconds to seconds
        host.SetCell(row, kPublishedAt, TimeCell(t));
        host.SetCell(row, kDelistAt, TimeCell(t + kWeek));
    }

    return Prices(host, row, id);
}

}  // namespace

void TaobaoItemAnalyser(RunHost& host) {
    RunFrame(host, [&host](int i, int n, const std::string& id) { return TaobaoItem(host, i, n, id); });
}

void TmallItemAnalyser(RunHost& host) {
    RunFrame(host, [&host](int i, int n, const std::string& line) { return TmallItem(host, i, n, line); });
}

}  // namespace vantrel
