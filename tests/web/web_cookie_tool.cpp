// Helper of the cookie persistence test: a separate process that fetches each address given, in order, with
// the data folder and market route of the common options, and prints each body followed by a line "--".
//   web_cookie_tool --data-dir DIR [--market URL] ADDRESS...
#include <cstdio>
#include <string>

#include "app/CommonOptions.h"
#include "web/WebRequest.h"

int main(int argc, char** argv) {
    vantrel::CommonOptions options = vantrel::ParseCommonOptions(argc, argv);
    std::string error = options.error;
    if (!error.empty() || !vantrel::ApplyCommonOptions(options, vantrel::ProgramFolder(), error)) {
        std::fprintf(stderr, "web_cookie_tool: %s\n", error.c_str());
        return 2;
    }
    for (std::size_t i = 1; i < options.rest.size(); ++i) {
        const std::string body = vantrel::web::WebRequest(options.rest[i]);
        std::fwrite(body.data(), 1, body.size(), stdout);
        std::fputs("\n--\n", stdout);
        std::fflush(stdout);
    }
    return 0;
}
