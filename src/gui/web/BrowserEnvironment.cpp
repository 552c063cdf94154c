#include "web/BrowserEnvironment.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>

namespace vantrel::gui {

std::string BrowserFlagsFor(const std::string& existingFlags, const std::string& routeTarget) {
    std::string flags = existingFlags;
    if (!routeTarget.empty() && flags.find("--host-resolver-rules") == std::string::npos) {
        // Every host name goes to the one server; the inner quotes are needed for Chromium to take the rule.
        if (!flags.empty()) {
            flags += ' ';
        }
        flags += "--host-resolver-rules=\"MAP * " + routeTarget + "\"";
    }
    return flags;
}

void PrepareBrowserEnvironment(const std::string& routeTarget) {
    // Chromium refuses to start as root with its sandbox on; only then is it switched off.
    if (::geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    const char* existing = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const std::string flags = BrowserFlagsFor(existing ? existing : "", routeTarget);
    if (!flags.empty()) {
        ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    }
    // The browser shares OpenGL contexts with the widgets; Qt wants this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace vantrel::gui
