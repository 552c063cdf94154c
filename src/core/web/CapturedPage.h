// What the login browser window does with a captured document, as pure functions.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// "page-info" + '"' + ">" (any case) -> "page-info>", every '"' removed, "%3D" (any case) -> "=".
std::string NormaliseCapturedPage(std::string_view documentSource);

// The listing is usable: "?mid=w", "page-info>", or "SecurityMatrix" without the captcha prompt.
bool IsGoodListingPage(std::string_view normalised);

// The certificate-error page of the marketplace: the window asks the user to log in first.
bool WantsLoginFirstCaption(std::string_view normalised);

}  // namespace vantrel
