// What Qt WebEngine needs before the application object exists: the sandbox switch when running as root and
// the host mapping of --market, so the embedded browser reaches the same server as WebRequest.
#pragma once

#include <string>

namespace vantrel::gui {

// Call before constructing QApplication. routeTarget is web::MarketRouteTarget() ("host:port", "" when off).
void PrepareBrowserEnvironment(const std::string& routeTarget);

// The Chromium flags PrepareBrowserEnvironment adds to existing ones (without touching the environment).
std::string BrowserFlagsFor(const std::string& existingFlags, const std::string& routeTarget);

}  // namespace vantrel::gui
