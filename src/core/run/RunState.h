// Shared run state between the stages of a run and the login browser window.
// Texts are replaced whole under a lock; the two flags are atomics polled by the waiting analyser.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "analysis/ItemIdList.h"

namespace vantrel {

class RunState {
public:
    std::string BrowserTargetUrl() const {
        std::lock_guard lock(mutex_);
        return browserTargetUrl_;
    }
    void SetBrowserTargetUrl(std::string v) {
        std::lock_guard lock(mutex_);
        browserTargetUrl_ = std::move(v);
    }
    std::string ListingPageText() const {
        std::lock_guard lock(mutex_);
        return listingPageText_;
    }
    void SetListingPageText(std::string v) {
        std::lock_guard lock(mutex_);
        listingPageText_ = std::move(v);
    }

    std::atomic<int> VerifyPending{0};   // 1 while an analyser waits for a passed security check
    std::atomic<int> BrowserPurpose{0};  // 9: the login window serves a security check; 0: the shop run

    ItemIdList Items;  // the queue between crawlers and analysers

private:
    mutable std::mutex mutex_;
    std::string browserTargetUrl_;
    std::string listingPageText_;
};

}  // namespace vantrel
