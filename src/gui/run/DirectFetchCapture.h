// The stand-in capture window until the embedded browser exists: one direct fetch of BrowserTargetUrl on a worker
// thread, normalised as the window normalises a captured document. For the shop run the page is handed to the
// crawl stage whether it looks like a listing or not (the crawler decides, and ends the run with its failure
// text when it finds no items); for a security check the waiting analyser is released, as when the user
// closes the window.
#pragma once

#include <cstdint>

#include "run/CaptureSeam.h"

namespace vantrel::gui {

class DirectFetchCapture final : public CaptureWindowFactory {
public:
    void Reopen(CaptureHost& host) override;
    void CloseAll() override { ++generation_; }
    bool IsOpen() const override { return false; }

    // Captures started so far (tests).
    int Captures() const { return captures_; }

private:
    std::uint64_t generation_ = 0;  // a newer Reopen or CloseAll drops the answer of an older fetch
    int captures_ = 0;
};

}  // namespace vantrel::gui
