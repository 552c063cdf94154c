// Where the login browser window plugs into the run.
//
// The run controller opens a capture window on RunState::BrowserTargetUrl() in three places: the start of a
// run (purpose 0: capture the shop's listing page), the security check an analyser asks for (purpose 9), and
// the Tmall crawler's script redirect. A CaptureWindowFactory makes and destroys these windows; the window
// reports back through the CaptureHost it was given. Until the embedded browser exists, DirectFetchCapture
// stands in: one direct fetch of the page, handled as the window would handle a captured document.
#pragma once

#include <functional>
#include <string>

#include "run/RunState.h"

class QWidget;

namespace vantrel::gui {

// What a capture window may ask of the run. Every call on the user-interface thread.
class CaptureHost {
public:
    virtual ~CaptureHost() = default;

    // The shared run state: BrowserTargetUrl (read), ListingPageText (written), VerifyPending and BrowserPurpose
    // (read and reset).
    virtual RunState& State() = 0;

    // The main window, as parent or anchor for the capture window.
    virtual QWidget* MainWindowWidget() = 0;

    // A good page for the shop run was captured into ListingPageText: arms the main window's 时钟1 (1000 ms),
    // whose tick starts the crawl stage.
    virtual void ArmCrawl() = 0;

    // The user closed a purpose-0 window before a good page was captured, and the window has done its closing
    // work (ListingPageText filled by one direct fetch when it was still empty, flags reset). The run goes on
    // with the crawl stage from there: the crawler either finds the items or ends the run with its failure text,
    // so the controls never stay disabled.
    virtual void CaptureAbandoned() = 0;

    // Runs fetch(address) on a worker thread, then then(body) on the user-interface thread (dropped when the
    // main window is gone). For the window's fall-back fetches, so that the user-interface thread does no
    // network I/O; the window keeps the order of its effects by doing them in then.
    virtual void FetchInBackground(const std::string& address, std::function<void(std::string body)> then) = 0;
};

// Makes the capture windows. One window at a time.
class CaptureWindowFactory {
public:
    virtual ~CaptureWindowFactory() = default;

    // Destroys the current window if one exists (its closing work runs, but it reports no abandonment), then
    // opens a new non-modal one on host.State().BrowserTargetUrl().
    virtual void Reopen(CaptureHost& host) = 0;

    // Destroys the current window if one exists, without reporting anything (end of the program).
    virtual void CloseAll() = 0;

    // Whether a window exists.
    virtual bool IsOpen() const = 0;
};

}  // namespace vantrel::gui
