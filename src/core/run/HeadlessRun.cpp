#include "run/HeadlessRun.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/DataFolder.h"
#include "run/RunController.h"
#include "web/CapturedPage.h"

namespace vantrel {

HeadlessRunHost::HeadlessRunHost(std::string shopAddress, HeadlessRunOptions options, HeadlessRunCallbacks callbacks)
    : shopAddress_(std::move(shopAddress)), options_(std::move(options)), callbacks_(std::move(callbacks)) {}

std::string HeadlessRunHost::Fetch(const std::string& address) {
    return options_.fetch ? options_.fetch(address) : web::WebRequest(address);
}

void HeadlessRunHost::SetStatus(const std::string& text) {
    if (callbacks_.status) {
        callbacks_.status(text);
    }
}

void HeadlessRunHost::Progress(Stage stage, int n, int count, const std::string& detail) {
    if (callbacks_.progress) {
        callbacks_.progress(stage, n, count, detail);
    }
}

void HeadlessRunHost::ArmSecurityCheck() {
    if (callbacks_.securityCheck) {
        callbacks_.securityCheck(state_.BrowserTargetUrl());
    }
    // Nobody can pass the check here: release the analyser as a closed window would.
    state_.VerifyPending = 0;
    state_.BrowserPurpose = 0;
}

void HeadlessRunHost::FinishRun(const std::string& statusText) {
    finalText_ = statusText;
}

void HeadlessRunHost::ClearBrowserState() {
    web::ClearBrowserCache();
    web::ClearBrowserCookies();
}

bool HeadlessRunHost::Pause(int ms) {
    using namespace std::chrono;
    const auto length =
        duration_cast<steady_clock::duration>(duration<double, std::milli>(std::max(0, ms) * options_.pauseScale));
    const auto until = steady_clock::now() + length;
    // Sleep in short steps so that a cancellation ends a long pause early.
    for (auto now = steady_clock::now(); now < until && !Cancelled(); now = steady_clock::now()) {
        std::this_thread::sleep_for(std::min<steady_clock::duration>(until - now, milliseconds(50)));
    }
    return !Cancelled();
}

bool HeadlessRunHost::Cancelled() {
    return options_.cancel != nullptr && options_.cancel->load();
}

bool HeadlessRunHost::Capture() {
    const std::string target = state_.BrowserTargetUrl();
    Progress(Stage::Capture, 1, 1, target);
    state_.SetListingPageText(NormaliseCapturedPage(web::PageText(Fetch(target))));
    const bool good = IsGoodListingPage(state_.ListingPageText());
    if (callbacks_.captured) {
        callbacks_.captured(target, good);
    }
    return good;
}

HeadlessRunResult RunShop(std::string_view typedAddress, const HeadlessRunOptions& options,
                          const HeadlessRunCallbacks& callbacks) {
    HeadlessRunResult result;
    const std::string normalised = NormaliseShopAddress(typedAddress).withScheme;
    if (ShopKindOf(normalised) == ShopKind::None) {
        result.outcome = RunOutcome::Rejected;
        result.finalText = texts::BadAddress();
        return result;
    }
    result.shopAddress = HostOnlyAddress(normalised);
    const std::filesystem::path folder = options.dataFolder.empty() ? DataFolder() : options.dataFolder;
    SaveAddressHistory(folder / "url.txt", result.shopAddress);

    HeadlessRunHost host(result.shopAddress, options, callbacks);
    RunState& state = host.State();
    BeginRun(state);
    state.SetBrowserTargetUrl(BrowserTargetFor(result.shopAddress));
    host.SetStatus(texts::AnalysingAddress());
    host.ClearBrowserState();
    host.Capture();

    int furtherCrawls = 0;
    for (bool crawl = true; crawl && !host.Cancelled();) {
        RunCrawler(ChooseCrawler(result.shopAddress, state.ListingPageText()), host);
        crawl = host.TakeLoginWindowWanted() && host.Capture() && furtherCrawls++ < options.maxFurtherCrawls;
    }
    if (host.TakeAnalysisArmed() && !host.Cancelled()) {
        RunAnalyser(result.shopAddress, host);
    }

    result.finalText = host.FinalText();
    result.outcome = result.finalText == texts::Finished() ? RunOutcome::Finished : RunOutcome::Failed;
    result.table = host.TakeTable();
    return result;
}

}  // namespace vantrel
