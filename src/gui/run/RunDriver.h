// The shop analysis run of the main window: StartRun (按钮1), the stage timers' handlers StartCrawl (时钟1),
// StartAnalysis (时钟2) and ReopenLoginWindow (时钟6), and FinishRun.
//
// The crawlers and analysers of the core run on worker threads, one crawl and one analysis pass at a time, and
// reach the window only through RunHost calls that the user-interface thread carries out while they wait. A
// second crawl or analysis pass asked for while one runs stops the running one (its cancel flag is checked
// between requests), waits until it has ended and then starts; so two passes never fill the list together.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "run/CaptureSeam.h"
#include "run/RunState.h"
#include "run/UiGate.h"
#include "web/WebRequest.h"

namespace vantrel {
class RunHost;
}

namespace vantrel::gui {

class GuiRunHost;
class MainWindow;

class RunDriver final : public QObject, public CaptureHost {
    Q_OBJECT
public:
    // Periods of the stage timers.
    static constexpr int kCrawlDelayMs = 1000;     // 时钟1: capture -> crawl
    static constexpr int kAnalysisDelayMs = 1000;  // 时钟2: crawl -> analysis
    static constexpr int kCheckDelayMs = 100;      // 时钟6: analyser's security check -> login window

    explicit RunDriver(MainWindow& window);
    ~RunDriver() override;

    // The handlers (user-interface thread).
    void StartRun();
    void StartCrawl();
    void StartAnalysis();
    void ReopenLoginWindow();
    // The end of a run: controls back, statusText (GBK) left in status pane 0.
    void FinishRun(const std::string& statusText);

    // Address history: the drop-down of the address box from / into "url.txt" of the data folder.
    void LoadAddressHistory();
    static std::filesystem::path HistoryFile();

    // Clears the web cache and cookies shared with the browser.
    static void ClearBrowserState();

    // Whether a run is in progress (from StartRun to FinishRun).
    bool Running() const { return running_; }
    bool CrawlRunning() const;
    bool AnalysisRunning() const;

    // Seams: how pages are fetched (default WebRequest) and the capture windows (default DirectFetchCapture).
    // Set them while no run is in progress.
    void SetFetcher(web::Fetcher fetch);
    web::Fetcher Fetcher() const { return fetch_; }
    void SetCaptureFactory(std::unique_ptr<CaptureWindowFactory> factory);
    CaptureWindowFactory& Capture() const { return *capture_; }

    const std::shared_ptr<UiGate>& Gate() const { return gate_; }
    MainWindow& Window() const { return window_; }

    // End of the program: workers are cancelled and released, the capture window closed.
    void Shutdown();

    // CaptureHost.
    RunState& State() override { return *state_; }
    QWidget* MainWindowWidget() override;
    void ArmCrawl() override;
    void CaptureAbandoned() override;
    void FetchInBackground(const std::string& address, std::function<void(std::string body)> then) override;

signals:
    // The controls are back; text is the final status.
    void runFinished(const QString& text);
    // A crawl or analysis worker started / ended (stage: "crawl" or "analysis").
    void workerStarted(const QString& stage);
    void workerEnded(const QString& stage);

private:
    using Job = std::function<void(RunHost& host)>;
    struct Slot {
        const char* name;
        std::shared_ptr<GuiRunHost> running;
        Job pending;
    };
    friend class GuiRunHost;

    void Launch(Slot& slot, Job job);
    void WorkerEnded(Slot& slot, const std::shared_ptr<GuiRunHost>& host);
    void SetRunControls(bool running);

    MainWindow& window_;
    std::shared_ptr<UiGate> gate_;
    std::shared_ptr<RunState> state_;
    web::Fetcher fetch_;
    std::unique_ptr<CaptureWindowFactory> capture_;
    Slot crawl_{"crawl", nullptr, nullptr};
    Slot analysis_{"analysis", nullptr, nullptr};
    bool running_ = false;
};

}  // namespace vantrel::gui
