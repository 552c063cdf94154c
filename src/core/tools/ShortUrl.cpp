#include "tools/ShortUrl.h"

#include "analysis/TextOps.h"
#include "vantrel/Config.h"
#include "web/Encoding.h"

namespace vantrel::tools {

std::string WithHttpScheme(std::string_view longAddress) {
    if (longAddress.substr(0, 4) == "http") {
        return std::string(longAddress);
    }
    return "http://" + std::string(longAddress);
}

std::string ShortUrlRequestAddress(std::string_view longAddress) {
    std::string address = "http://";
    address += config::ShortUrlServiceHost;
    address += "/tools/curl.php?uu=";
    address += UrlEncodeGbk(longAddress);
    return address;
}

std::optional<std::string> ShortLinkFromAnswer(std::string_view answer) {
    if (!text::Contains(answer, config::ShortLinkPrefix)) {
        return std::nullopt;
    }
    std::string link(config::ShortLinkPrefix);
    link += text::PieceBefore(text::PieceAfter(answer, config::ShortLinkPrefix), "\"");
    return link;
}

}  // namespace vantrel::tools
