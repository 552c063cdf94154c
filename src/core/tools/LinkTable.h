// The link commands of the main window: the operations sites of the tray menu, the vendor's own pages and
// products. Each entry is one address that the desktop's "open" action shows in the user's browser, exactly as
// configured, with nothing added. Captions are UTF-8 (they are menu texts only, never marketplace text).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::links {

struct Link {
    std::string caption;  // menu text (UTF-8)
    std::string url;      // the address opened
};

// The submenu "运营常用网址": 16 sites in menu order.
const std::vector<Link>& OperationSites();

// The submenu "其他电商软件": the vendor's other products (configuration; may be empty).
const std::vector<Link>& OtherProducts();

// The vendor's web site (tray item "Kestrum官网", the status bar) and its marketplace shop ("官方淘宝店").
std::string_view MakerHome();
std::string_view MakerShop();

// The join pages of the vendor's two user groups (the two contact labels), index 0 or 1; empty otherwise.
std::string_view GroupJoinPage(int index);

}  // namespace vantrel::links
