#include "run/DirectFetchCapture.h"

#include "web/CapturedPage.h"
#include "web/WebRequest.h"

namespace vantrel::gui {

void DirectFetchCapture::Reopen(CaptureHost& host) {
    const std::uint64_t generation = ++generation_;
    ++captures_;
    host.FetchInBackground(host.State().BrowserTargetUrl(), [this, generation, &host](std::string body) {
        if (generation != generation_) {
            return;
        }
        RunState& state = host.State();
        state.SetListingPageText(NormaliseCapturedPage(web::PageText(body)));
        if (state.BrowserPurpose == 9) {
            state.VerifyPending = 0;
            state.BrowserPurpose = 0;
        } else {
            host.ArmCrawl();
        }
    });
}

}  // namespace vantrel::gui
