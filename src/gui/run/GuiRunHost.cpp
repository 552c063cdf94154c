#include "run/GuiRunHost.h"

#include <QTimer>
#include <chrono>

#include "run/RunDriver.h"
#include "tools/ToolSeams.h"
#include "ui/MainWindow.h"
#include "ui/ResultModel.h"
#include "ui/StatusPane.h"

namespace vantrel::gui {

GuiRunHost::GuiRunHost(std::shared_ptr<UiGate> gate, RunDriver* driver, std::shared_ptr<RunState> state,
                       web::Fetcher fetch)
    : gate_(std::move(gate)), driver_(driver), state_(std::move(state)), fetch_(std::move(fetch)) {}

void GuiRunHost::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    cancelledCv_.notify_all();
}

std::string GuiRunHost::ShopAddress() {
    std::string address;
    gate_->Call([&] { address = driver_->Window().ShopAddress(); });
    return address;
}

std::string GuiRunHost::Fetch(const std::string& address) {
    return fetch_(address);
}

void GuiRunHost::ClearResults() {
    gate_->Call([this] { driver_->Window().Results()->Clear(); });
}

int GuiRunHost::AppendRow(const std::string& seq) {
    int row = -1;
    gate_->Call([&] { row = driver_->Window().Results()->AppendRow(seq); });
    return row;
}

void GuiRunHost::SetCell(int row, int column, const std::string& text) {
    gate_->Call([&] { driver_->Window().Results()->SetCell(row, column, text); });
}

void GuiRunHost::SetStatus(const std::string& text) {
    gate_->Call([&] { driver_->Window().SetStatus(FromGbk(text)); });
}

void GuiRunHost::Progress(Stage /*stage*/, int n, int count, const std::string& /*detail*/) {
    gate_->Call([&] { driver_->Window().StatusPane0()->SetProgress(n, count); });
}

void GuiRunHost::ArmAnalysis() {
    gate_->Call([this] { driver_->Window().Timer2()->start(RunDriver::kAnalysisDelayMs); });
}

void GuiRunHost::ArmSecurityCheck() {
    gate_->Call([this] { driver_->Window().Timer6()->start(RunDriver::kCheckDelayMs); });
}

void GuiRunHost::ReopenLoginWindow() {
    gate_->Call([this] { driver_->Capture().Reopen(*driver_); });
}

void GuiRunHost::FinishRun(const std::string& statusText) {
    if (Cancelled()) {
        return;  // a pass that was replaced leaves the controls to the pass that replaced it
    }
    gate_->Call([&] { driver_->FinishRun(statusText); });
}

void GuiRunHost::ClearBrowserState() {
    RunDriver::ClearBrowserState();
}

bool GuiRunHost::Pause(int ms) {
    std::unique_lock lock(mutex_);
    cancelledCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return cancelled_.load(); });
    lock.unlock();
    return !Cancelled();
}

bool GuiRunHost::Cancelled() {
    return cancelled_ || gate_->Closed();
}

}  // namespace vantrel::gui
