// How long the user-interface thread stays busy during a big shop run in the main window.
//
// A 1,000-item shop of the demo marketplace is run in the window (offscreen unless QT_QPA_PLATFORM says
// otherwise). Meanwhile a 5 ms timer measures its own lateness: the gap between two of its ticks beyond the 5 ms
// is the time the thread spent on something else without returning to the event loop. Prints the longest gap and
// a few percentiles; the goal is a longest gap under 50 ms.
//
// usage: ui_responsiveness_bench [ITEMS]   (default 1000)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "Market.h"
#include "app/DataFolder.h"
#include "run/RunDriver.h"
#include "run/Workers.h"
#include "ui/MainWindow.h"
#include "ui/ResultModel.h"
#include "web/WebSettings.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const int items = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    vantrel::demo::ServerOptions options;
    options.catalogue.itemsPerShop = items;
    vantrel::demo::DemoMarket market(options);
    if (!market.start()) {
        std::fprintf(stderr, "ui_responsiveness_bench: the demo marketplace did not start\n");
        return 1;
    }
    vantrel::web::SetMarketRoute("http://127.0.0.1:" + std::to_string(market.port()));
    const auto folder =
        std::filesystem::temp_directory_path() / ("vantrel-ui-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    vantrel::SetDataFolder(folder);

    const vantrel::demo::Shop& shop = market.catalogue().ShopOf(vantrel::demo::ShopKind::TaobaoAsync);
    auto* window = new vantrel::gui::MainWindow;
    window->show();

    constexpr int kPeriodMs = 5;
    std::vector<double> lateMs;
    QElapsedTimer clock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double gap = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        clock.restart();
        lateMs.push_back(std::max(0.0, gap - kPeriodMs));
    });

    QEventLoop loop;
    QObject::connect(&window->Run(), &vantrel::gui::RunDriver::runFinished, &loop, &QEventLoop::quit);
    QElapsedTimer runTime;
    QTimer::singleShot(0, [&] {
        window->ShopAddressBox()->setEditText(QString::fromStdString(shop.address));
        runTime.start();
        clock.start();
        probe.start(kPeriodMs);
        window->StartButton()->click();
    });
    loop.exec();
    probe.stop();
    const double seconds = static_cast<double>(runTime.elapsed()) / 1000.0;

    const QString status = window->StatusText();
    const int rows = window->Results()->RowCount();
    delete window;
    vantrel::gui::WaitForWorkers(std::chrono::seconds(10));
    market.stop();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);

    std::vector<double> sorted = lateMs;
    std::sort(sorted.begin(), sorted.end());
    auto pct = [&](double p) {
        return sorted.empty() ? 0.0 : sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * sorted.size()))];
    };
    const double longest = sorted.empty() ? 0.0 : sorted.back();
    std::printf("ui_responsiveness: %d of %d items in %.1f s, final status %s\n", rows, items, seconds,
                status.toUtf8().constData());
    std::printf("ui_responsiveness: %zu probe ticks of %d ms; lateness median %.2f ms, p99 %.2f ms, p99.9 %.2f ms\n",
                sorted.size(), kPeriodMs, pct(0.5), pct(0.99), pct(0.999));
    std::printf(
        "ui_responsiveness: longest time the UI thread stayed busy between two events: %.2f ms (goal < 50 ms): %s\n",
        longest, longest < 50.0 ? "met" : "NOT met");
    return rows == static_cast<int>(market.catalogue().ItemsOf(shop).size()) ? 0 : 1;
}
