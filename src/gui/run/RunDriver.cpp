#include "run/RunDriver.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/DataFolder.h"
#include "run/DirectFetchCapture.h"
#include "run/GuiRunHost.h"
#include "run/RunController.h"
#include "run/Workers.h"
#include "tools/ToolSeams.h"
#include "ui/MainWindow.h"
#include "ui/ResultListView.h"
#include "ui/StatusPane.h"

namespace vantrel::gui {

RunDriver::RunDriver(MainWindow& window)
    : window_(window),
      gate_(UiGate::Create(&window)),
      state_(std::make_shared<RunState>()),
      fetch_(web::DefaultFetcher()),
      capture_(std::make_unique<DirectFetchCapture>()) {}

RunDriver::~RunDriver() {
    Shutdown();
}

std::filesystem::path RunDriver::HistoryFile() {
    return DataFolder() / "url.txt";
}

void RunDriver::ClearBrowserState() {
    web::ClearBrowserCache();
    web::ClearBrowserCookies();
}

void RunDriver::StartRun() {
    // The cleaned address is written back after every step, so the user sees what is used.
    const NormalisedAddress cleaned = NormaliseShopAddress(window_.ShopAddress());
    window_.SetShopAddress(cleaned.spacesRemoved);
    window_.SetShopAddress(cleaned.schemeReplaced);
    window_.SetShopAddress(cleaned.withScheme);
    const std::string address = HostOnlyAddress(cleaned.withScheme);
    // An address whose domain mark stood only in its path names no shop once the path is dropped: it is rejected
    // like an address without a mark, before anything changes, instead of starting a run that no crawler serves.
    const ShopKind kind = ShopKindOf(cleaned.withScheme) == ShopKind::None ? ShopKind::None : ShopKindOf(address);
    if (kind == ShopKind::None) {
        ShowToolMessage(&window_, FromGbk(texts::WarningTitle()), FromGbk(texts::BadAddress()));
        return;
    }
    window_.SetShopAddress(address);
    SaveAddressHistory(HistoryFile(), address);

    state_->SetBrowserTargetUrl(BrowserTargetFor(address));
    ResultListView* list = window_.ResultList();
    if (kind == ShopKind::Taobao) {
        if (list->ColumnWidth(6) == 0) {
            list->SetColumnWidth(6, 90);
            list->SetColumnWidth(7, 90);
        }
    } else if (list->ColumnWidth(6) > 0) {
        list->SetColumnWidth(6, 0);
        list->SetColumnWidth(7, 0);
    }

    SetRunControls(true);
    BeginRun(*state_);
    window_.StatusPane0()->SetProgress(0, 0);
    window_.SetStatus(FromGbk(texts::AnalysingAddress()));
    ClearBrowserState();
    capture_->Reopen(*this);
}

void RunDriver::SetRunControls(bool run) {
    running_ = run;
    QPushButton* start = window_.StartButton();
    start->setText(run ? QStringLiteral("淘中…") : QStringLiteral("淘一下"));
    start->setEnabled(!run);
    window_.ShopAddressBox()->setEnabled(!run);
    window_.HistoryButton()->setEnabled(!run);
    window_.ListHistoryAction()->setEnabled(!run);
    window_.BusyPicture()->setVisible(run);
}

void RunDriver::StartCrawl() {
    window_.Timer1()->stop();
    const CrawlerKind kind = ChooseCrawler(window_.ShopAddress(), state_->ListingPageText());
    if (kind != CrawlerKind::None) {
        Launch(crawl_, [kind](RunHost& host) { RunCrawler(kind, host); });
    }
    LoadAddressHistory();
}

void RunDriver::StartAnalysis() {
    window_.Timer2()->stop();
    const std::string address = window_.ShopAddress();
    Launch(analysis_, [address](RunHost& host) { RunAnalyser(address, host); });
}

void RunDriver::ReopenLoginWindow() {
    window_.Timer6()->stop();
    capture_->Reopen(*this);
}

void RunDriver::FinishRun(const std::string& statusText) {
    SetRunControls(false);
    window_.StatusPane0()->SetProgress(0, 0);
    const QString text = FromGbk(statusText);
    window_.SetStatus(text);
    emit runFinished(text);
}

void RunDriver::LoadAddressHistory() {
    const auto entries = vantrel::LoadAddressHistory(HistoryFile());
    if (!entries) {
        return;
    }
    QComboBox* box = window_.ShopAddressBox();
    box->clear();
    for (const std::string& entry : *entries) {
        box->addItem(FromGbk(entry));
    }
    box->setCurrentIndex(0);
}

bool RunDriver::CrawlRunning() const {
    return crawl_.running != nullptr;
}

bool RunDriver::AnalysisRunning() const {
    return analysis_.running != nullptr;
}

void RunDriver::SetFetcher(web::Fetcher fetch) {
    fetch_ = fetch ? std::move(fetch) : web::DefaultFetcher();
}

void RunDriver::SetCaptureFactory(std::unique_ptr<CaptureWindowFactory> factory) {
    if (capture_) {
        capture_->CloseAll();
    }
    capture_ = factory ? std::move(factory) : std::make_unique<DirectFetchCapture>();
}

void RunDriver::Launch(Slot& slot, Job job) {
    if (slot.running) {
        // Stop the running pass; this one starts when it has ended (WorkerEnded).
        slot.running->Cancel();
        slot.pending = std::move(job);
        return;
    }
    auto host = std::make_shared<GuiRunHost>(gate_, this, state_, fetch_);
    slot.running = host;
    emit workerStarted(QString::fromLatin1(slot.name));
    Slot* where = &slot;
    StartWorker([this, host, where, job = std::move(job), gate = gate_] {
        job(*host);
        gate->Post([this, host, where] { WorkerEnded(*where, host); });
    });
}

void RunDriver::WorkerEnded(Slot& slot, const std::shared_ptr<GuiRunHost>& host) {
    if (slot.running != host) {
        return;
    }
    slot.running.reset();
    emit workerEnded(QString::fromLatin1(slot.name));
    if (slot.pending) {
        Job next = std::move(slot.pending);
        slot.pending = nullptr;
        Launch(slot, std::move(next));
    }
}

void RunDriver::Shutdown() {
    gate_->Close();
    for (Slot* slot : {&crawl_, &analysis_}) {
        slot->pending = nullptr;
        if (slot->running) {
            slot->running->Cancel();
        }
    }
    if (capture_) {
        capture_->CloseAll();
    }
}

QWidget* RunDriver::MainWindowWidget() {
    return &window_;
}

void RunDriver::ArmCrawl() {
    window_.Timer1()->start(kCrawlDelayMs);
}

void RunDriver::CaptureAbandoned() {
    ArmCrawl();
}

void RunDriver::FetchInBackground(const std::string& address, std::function<void(std::string body)> then) {
    StartWorker([fetch = fetch_, address, then = std::move(then), gate = gate_] {
        std::string body = fetch(address);
        gate->Post([then, body = std::move(body)]() mutable { then(std::move(body)); });
    });
}

}  // namespace vantrel::gui
