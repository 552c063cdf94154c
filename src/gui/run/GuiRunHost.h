// The RunHost of one crawl or analysis worker of the desktop program. Every call that touches the window is
// carried out by the user-interface thread while the worker waits (through the UiGate); the fetches, the pauses
// and the web-state clearing run on the worker itself. Cancel() stops the worker at its next request or pause.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "run/RunHost.h"
#include "run/UiGate.h"
#include "web/WebRequest.h"

namespace vantrel::gui {

class RunDriver;

class GuiRunHost final : public RunHost {
public:
    // driver is only used inside calls carried out on the user-interface thread, while the window exists.
    GuiRunHost(std::shared_ptr<UiGate> gate, RunDriver* driver, std::shared_ptr<RunState> state, web::Fetcher fetch);

    void Cancel();

    RunState& State() override { return *state_; }
    std::string ShopAddress() override;
    std::string Fetch(const std::string& address) override;

    void ClearResults() override;
    int AppendRow(const std::string& seq) override;
    void SetCell(int row, int column, const std::string& text) override;

    void SetStatus(const std::string& text) override;
    void Progress(Stage stage, int n, int count, const std::string& detail) override;

    void ArmAnalysis() override;
    void ArmSecurityCheck() override;
    void ReopenLoginWindow() override;
    void FinishRun(const std::string& statusText) override;
    void ClearBrowserState() override;

    bool Pause(int ms) override;
    bool Cancelled() override;

private:
    std::shared_ptr<UiGate> gate_;
    RunDriver* driver_;
    std::shared_ptr<RunState> state_;
    web::Fetcher fetch_;
    std::mutex mutex_;
    std::condition_variable cancelledCv_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace vantrel::gui
