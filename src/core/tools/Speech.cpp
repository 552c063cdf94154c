#include "tools/Speech.h"

#include "vantrel/Config.h"
#include "web/Encoding.h"

namespace vantrel::tools {

std::string SpeechRequestAddress(std::string_view text) {
    std::string address = "http://";
    address += config::SpeechServiceHost;
    address += "/text2audio?lan=zh&ie=UTF-8&text=";
    address += UrlEncodeUtf8(text);
    return address;
}

std::string WithCrLfLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out.push_back('\r');
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace vantrel::tools
