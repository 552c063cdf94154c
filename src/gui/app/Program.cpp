#include "app/Program.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/CommonOptions.h"
#include "run/RunDriver.h"
#include "run/Workers.h"
#include "skin/Skin.h"
#include "tools/ToolWiring.h"
#include "ui/MainWindow.h"
#include "web/BrowserEnvironment.h"
#include "web/LoginBrowserWindow.h"
#include "web/WebSettings.h"

namespace vantrel::gui {
namespace {

int Usage(const std::string& error) {
    std::fprintf(stderr, "vantrel: %s\nusage: vantrel [--market URL] [--data-dir DIR]\n", error.c_str());
    return 2;
}

}  // namespace

int RunProgram(int argc, char** argv) {
    // The options are in force before the application object exists: the embedded browser takes its host mapping
    // from the market route then.
    const CommonOptions options = ParseCommonOptions(argc, argv);
    std::string error = options.error;
    if (error.empty()) {
        ApplyCommonOptions(options, ProgramFolder(), error);
    }
    if (!error.empty()) {
        return Usage(error);
    }
    PrepareBrowserEnvironment(web::MarketRouteTarget());

    QApplication app(argc, argv);  // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    // The program ends when the main window is closed, not when the last of its windows happens to close (the main
    // window may be hidden in the tray while a tool window closes).
    QApplication::setQuitOnLastWindowClosed(false);
    if (const CommonOptions rest = ParseCommonOptions(argc, argv); rest.rest.size() > 1) {
        return Usage("unexpected argument: " + rest.rest[1]);
    }

    LoadSkinLibrary();  // a build without the skin library image attaches our own skins instead
    auto* window = new MainWindow;
    window->Run().SetCaptureFactory(std::make_unique<LoginBrowserCapture>());
    WireTools(*window);
    window->show();
    const int rc = QApplication::exec();

    window->RunExitRoutine();
    delete window;
    // Workers of an abandoned run have been cancelled; one still inside a request ends with the process.
    if (!WaitForWorkers(std::chrono::milliseconds(300))) {
        std::fflush(nullptr);
        std::_Exit(rc);
    }
    return rc;
}

}  // namespace vantrel::gui
