// A run host for tests: pages come from a map address -> bodies, every call is recorded, pauses take no
// time, rows go into a ResultTable.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analysis/ResultTable.h"
#include "run/RunHost.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"

namespace vantrel::fake {

// GBK form of a UTF-8 test text.
inline std::string G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

// Endpoints both analysers ask.
inline std::string CounterAddress(const std::string& key) {
    return "http://" + std::string(config::CounterHost) + "/counter3?keys=ICCP_1_" + key + "&callback=json";
}
inline std::string PriceAddress(const std::string& id) {
    return "http://" + std::string(config::PriceHistoryHost) + "/price/?id=" + id;
}

class FakeRunHost : public RunHost {
public:
    // Successive fetches of an address return successive bodies; the last one repeats. Unknown: "".
    void Serve(const std::string& address, std::vector<std::string> bodies) { pages[address] = std::move(bodies); }
    void Serve(const std::string& address, std::string body) { pages[address] = {std::move(body)}; }

    RunState& State() override { return state; }
    std::string ShopAddress() override { return shop; }
    std::string Fetch(const std::string& address) override {
        fetched.push_back(address);
        events.push_back("Fetch " + address);
        std::string body;
        auto it = pages.find(address);
        if (it != pages.end() && !it->second.empty()) {
            std::size_t& k = served[address];
            body = it->second[std::min(k, it->second.size() - 1)];
            ++k;
        }
        if (cancelAfterFetches > 0 && static_cast<int>(fetched.size()) >= cancelAfterFetches) {
            cancelled = true;
        }
        return body;
    }
    void ClearResults() override {
        events.push_back("ClearResults");
        table.Clear();
    }
    int AppendRow(const std::string& seq) override {
        events.push_back("AppendRow " + seq);
        return table.AppendRow(seq);
    }
    void SetCell(int row, int column, const std::string& text) override {
        cellOrder.push_back(column);
        table.SetCell(row, column, text);
    }
    void SetStatus(const std::string& text) override {
        statuses.push_back(text);
        events.push_back("SetStatus " + text);
    }
    void Progress(Stage stage, int n, int count, const std::string& detail) override {
        progress.push_back({stage, n, count, detail});
    }
    void ArmAnalysis() override {
        ++armAnalysis;
        events.push_back("ArmAnalysis");
    }
    void ArmSecurityCheck() override {
        ++armSecurity;
        events.push_back("ArmSecurityCheck");
        securityTargets.push_back(state.BrowserTargetUrl());
        securityPurposes.push_back(state.BrowserPurpose.load());
        securityPending.push_back(state.VerifyPending.load());
        if (onSecurityCheck) {
            onSecurityCheck(*this);
        } else {
            state.VerifyPending = 0;
            state.BrowserPurpose = 0;
        }
    }
    void ReopenLoginWindow() override { events.push_back("ReopenLoginWindow"); }
    void FinishRun(const std::string& statusText) override {
        finished.push_back(statusText);
        events.push_back("FinishRun " + statusText);
    }
    void ClearBrowserState() override {
        ++clearBrowser;
        events.push_back("ClearBrowserState");
    }
    bool Pause(int ms) override {
        if (ms == 100) {
            ++pollPauses;
        }
        ++pauseCount[ms];
        if (pauses.size() < 10000) {
            pauses.push_back(ms);
        }
        if (realPauseMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(realPauseMs));
        }
        return !cancelled;
    }
    bool Cancelled() override { return cancelled; }

    struct ProgressCall {
        Stage stage;
        int n;
        int count;
        std::string detail;
    };

    std::string Cell(int row, int column) const { return table.Cell(row, column); }
    int FetchCount(const std::string& address) const {
        int n = 0;
        for (const auto& a : fetched) {
            n += a == address;
        }
        return n;
    }

    RunState state;
    std::string shop;
    std::map<std::string, std::vector<std::string>> pages;
    std::map<std::string, std::size_t> served;
    std::vector<std::string> fetched;
    std::vector<std::string> events;
    std::vector<std::string> statuses;
    std::vector<std::string> finished;
    std::vector<int> cellOrder;
    std::vector<ProgressCall> progress;
    std::vector<std::string> securityTargets;
    std::vector<int> securityPurposes;
    std::vector<int> securityPending;
    std::vector<int> pauses;
    std::map<int, int> pauseCount;
    std::function<void(FakeRunHost&)> onSecurityCheck;
    ResultTable table;
    int armAnalysis = 0;
    int armSecurity = 0;
    int clearBrowser = 0;
    int realPauseMs = 0;
    std::atomic<int> pollPauses{0};  // Pause(100) calls: the waits for a security check
    int cancelAfterFetches = 0;      // > 0: Cancelled() becomes true once this many fetches were made
    std::atomic<bool> cancelled{false};
};

}  // namespace vantrel::fake
