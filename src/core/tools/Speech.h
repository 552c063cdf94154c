// Text-to-speech tool, pure part: the request address of the speech service.
// All texts are GBK. No Qt, no I/O.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::tools {

// "http://" + SpeechServiceHost + "/text2audio?lan=zh&ie=UTF-8&text=" + UrlEncodeUtf8(text).
std::string SpeechRequestAddress(std::string_view text);

// A text box's line breaks as the Windows edit box holds them: every LF not already after a CR becomes
// CR LF, so a line break is sent as "%0D%0A".
std::string WithCrLfLineBreaks(std::string_view text);

}  // namespace vantrel::tools
