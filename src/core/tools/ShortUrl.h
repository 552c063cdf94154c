// Short-URL tool, pure part: the scheme rule, the request address and the reading of the answer.
// All texts are GBK. No Qt, no I/O.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel::tools {

// The address as the box holds it after "生成短网址": unchanged when its first four bytes are exactly "http"
// (case-sensitive), otherwise "http://" in front ("HTTP://x" becomes "http://HTTP://x").
std::string WithHttpScheme(std::string_view longAddress);

// "http://" + ShortUrlServiceHost + "/tools/curl.php?uu=" + UrlEncodeGbk(longAddress).
std::string ShortUrlRequestAddress(std::string_view longAddress);

// From the answer text T (after Utf8ToText): ShortLinkPrefix + the text between the prefix and the next
// double quote (or the rest of T when there is none); nullopt when T does not contain ShortLinkPrefix.
std::optional<std::string> ShortLinkFromAnswer(std::string_view answer);

}  // namespace vantrel::tools
