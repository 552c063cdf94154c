// What the login browser window does with a captured document.
#include "web/CapturedPage.h"

#include "analysis/TextOps.h"
#include "web/Encoding.h"

namespace vantrel {

using text::Case;
using text::Contains;

std::string NormaliseCapturedPage(std::string_view documentSource) {
    std::string s = text::ReplaceAll(documentSource, "page-info\">", "page-info>", Case::Insensitive);
    s = text::DeleteAll(s, "\"");
    return text::ReplaceAll(s, "%3D", "=", Case::Insensitive);
}

bool IsGoodListingPage(std::string_view normalised) {
    static const std::string captchaPrompt = Utf8ToGbk("请输入验证码证明咱是正常人");
    return Contains(normalised, "?mid=w") || Contains(normalised, "page-info>") ||
           (Contains(normalised, "SecurityMatrix") && !Contains(normalised, captchaPrompt));
}

bool WantsLoginFirstCaption(std::string_view normalised) {
    static const std::string title = Utf8ToGbk("<title>淘宝网");
    static const std::string cannotShow = Utf8ToGbk("无法显示该网页");
    static const std::string certificate = Utf8ToGbk("证书");
    return !Contains(normalised, "?mid=w") && !Contains(normalised, "page-info>") && Contains(normalised, title) &&
           Contains(normalised, cannotShow) && Contains(normalised, certificate);
}

}  // namespace vantrel
