// A whole shop run without a window, on the calling thread: vantrel-cli, benchmarks and tests use it.
//
// Where the desktop program waits for a user in the login browser window, a headless run fetches the page
// once and goes on:
// - capture: one direct fetch of the shop's search page, normalised as the window normalises a document;
//   a page that does not look like a listing is still handed to the crawler, whose own retries and failure
//   texts then decide the run;
// - security check during the analysis: reported through a callback with the check's address and released at
//   once (VerifyPending back to 0), so the analyser goes on with its retries;
// - script redirect of the Tmall crawler: the redirect target is fetched and normalised as a capture right
//   after the crawl stage that asked for it; a good page starts a further crawl stage (at most
//   maxFurtherCrawls of them, so a redirect loop ends). The analysis armed by any crawl stage runs once, after
//   the last crawl stage, over the whole ItemIdList, so two analysis passes never overlap and the table is
//   filled once.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "analysis/ResultTable.h"
#include "run/RunHost.h"
#include "web/WebRequest.h"

namespace vantrel {

struct HeadlessRunOptions {
    std::filesystem::path dataFolder;           // holds "url.txt"; empty: DataFolder()
    web::Fetcher fetch;                         // empty: WebRequest
    double pauseScale = 1.0;                    // every pause lasts ms * pauseScale (tests shorten them)
    int maxFurtherCrawls = 3;                   // crawl stages started by redirect captures
    const std::atomic<bool>* cancel = nullptr;  // set to stop at the next request or pause
};

// Texts are GBK. Every callback may be left empty.
struct HeadlessRunCallbacks {
    std::function<void(const std::string& text)> status;  // the status pane's texts
    std::function<void(Stage stage, int n, int count, const std::string& detail)> progress;
    // A page that the login window would have shown was fetched; good: it looks like a listing (or a check).
    std::function<void(const std::string& address, bool good)> captured;
    // The marketplace asked for a security check at address; the run does not wait for it.
    std::function<void(const std::string& address)> securityCheck;
};

class HeadlessRunHost final : public RunHost {
public:
    HeadlessRunHost(std::string shopAddress, HeadlessRunOptions options, HeadlessRunCallbacks callbacks);

    RunState& State() override { return state_; }
    std::string ShopAddress() override { return shopAddress_; }
    std::string Fetch(const std::string& address) override;

    void ClearResults() override { table_.Clear(); }
    int AppendRow(const std::string& seq) override { return table_.AppendRow(seq); }
    void SetCell(int row, int column, const std::string& text) override { table_.SetCell(row, column, text); }

    void SetStatus(const std::string& text) override;
    void Progress(Stage stage, int n, int count, const std::string& detail) override;

    void ArmAnalysis() override { analysisArmed_ = true; }
    void ArmSecurityCheck() override;
    void ReopenLoginWindow() override { loginWindowWanted_ = true; }
    void FinishRun(const std::string& statusText) override;
    void ClearBrowserState() override;

    bool Pause(int ms) override;
    bool Cancelled() override;

    // What the login window does with BrowserTargetUrl, done by one fetch: ListingPageText becomes the
    // normalised page. Returns whether the page is good.
    bool Capture();

    // Each returns whether its hand-off was requested since the last call, and resets it.
    bool TakeAnalysisArmed() { return std::exchange(analysisArmed_, false); }
    bool TakeLoginWindowWanted() { return std::exchange(loginWindowWanted_, false); }

    const ResultTable& Table() const { return table_; }
    ResultTable TakeTable() { return std::move(table_); }
    // The text of the last FinishRun; empty while the run has not finished.
    const std::string& FinalText() const { return finalText_; }

private:
    std::string shopAddress_;
    HeadlessRunOptions options_;
    HeadlessRunCallbacks callbacks_;
    RunState state_;
    ResultTable table_;
    bool analysisArmed_ = false;
    bool loginWindowWanted_ = false;
    std::string finalText_;
};

enum class RunOutcome {
    Rejected,  // the address names no Taobao or Tmall shop; nothing was done
    Finished,  // the analysis processed the item list
    Failed,    // the run ended with a failure text (or was cancelled)
};

struct HeadlessRunResult {
    RunOutcome outcome = RunOutcome::Rejected;
    std::string shopAddress;  // "http://" + host, as the run used it
    std::string finalText;    // the end-of-run text; the rejection message when rejected
    ResultTable table;
};

// The whole run for a typed address: clean-up and check, address history, capture, crawl, analysis.
HeadlessRunResult RunShop(std::string_view typedAddress, const HeadlessRunOptions& options,
                          const HeadlessRunCallbacks& callbacks);

}  // namespace vantrel
