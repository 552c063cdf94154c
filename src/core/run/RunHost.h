// What the crawlers and analysers need from the program that runs them (desktop window, CLI, tests).
// All texts are GBK. A desktop host carries every call that touches a widget out on the UI thread and
// returns only when it has been applied.
#pragma once

#include <string>

#include "run/RunState.h"
#include "web/WebRequest.h"

namespace vantrel {

enum class Stage { Capture, Crawl, Analysis };

class RunHost {
public:
    virtual ~RunHost() = default;

    // Shared state of the run (ItemIdList, listing page, security-check values).
    virtual RunState& State() = 0;
    // The shop address as the address box holds it now.
    virtual std::string ShopAddress() = 0;
    // How pages are fetched (WebRequest unless a test substitutes fixtures).
    virtual std::string Fetch(const std::string& address) = 0;

    // Result table operations.
    virtual void ClearResults() = 0;
    virtual int AppendRow(const std::string& seq) = 0;
    virtual void SetCell(int row, int column, const std::string& text) = 0;

    // Status pane 0.
    virtual void SetStatus(const std::string& text) = 0;
    // Progress for the user beyond the status texts: page n of count, item n of count (n is 1-based).
    virtual void Progress(Stage stage, int n, int count, const std::string& detail) = 0;

    // Hand-offs. ArmAnalysis: the crawl is done, start the analysis stage 1000 ms later.
    virtual void ArmAnalysis() = 0;
    // The security-check window: called after VerifyPending, BrowserTargetUrl and BrowserPurpose are set.
    virtual void ArmSecurityCheck() = 0;
    // Tmall script redirect: destroy any login window and open a new one on BrowserTargetUrl.
    virtual void ReopenLoginWindow() = 0;
    // End of the run: controls back, status text left in pane 0.
    virtual void FinishRun(const std::string& statusText) = 0;
    // Clear the web cache and cookies shared with the browser.
    virtual void ClearBrowserState() = 0;

    // Waits ms milliseconds (tests may shorten it). Returns false when the run was cancelled meanwhile.
    virtual bool Pause(int ms) = 0;
    // True once the run should stop at the next request.
    virtual bool Cancelled() = 0;
};

}  // namespace vantrel
