// The link commands of the main window: the operations sites of the tray menu, the vendor's own pages and
// products. Each entry is one address that the desktop's "open" action shows in the user's browser, exactly as
// configured, with nothing added. Captions are UTF-8 (menu texts only, never marketplace text).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace vantrel {

struct Link {
    std::string caption;  // menu text (UTF-8)
    std::string url;      // the address opened
};

struct LinkTable {
    std::vector<Link> operationSites;           // the submenu "运营常用网址": 16 sites in menu order
    std::vector<Link> otherProducts;            // the submenu "其他电商软件" (may be empty)
    std::string makerHome;                      // "Kestrum官网" and the status bar
    std::string makerShop;                      // "官方淘宝店"
    std::array<std::string, 2> groupJoinPages;  // the two contact labels, in label order
};

// The program's table (configuration).
const LinkTable& Links();

}  // namespace vantrel
