// The options that both programs (vantrel and vantrel-cli) take:
//   --market URL    send every web connection to the server at URL (e.g. http://127.0.0.1:8080), keeping the
//                   addresses, Host headers and cookies as written (the demo marketplace);
//   --data-dir DIR  keep url.txt, the cookie store, the browser profile and the reports in DIR.
// Both also in the form --option=value.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantrel {

struct CommonOptions {
    std::string market;             // "" when not given
    std::filesystem::path dataDir;  // empty when not given
    std::vector<std::string> rest;  // every other argument in its order, the program name first
    std::string error;              // why the command line is wrong; "" when it is fine
};

// Takes --market and --data-dir out of the arguments (argv[0] is the program name and stays in `rest`).
// Parsing stops at "--", which stays in `rest` with all that follows. A missing or empty value (the option
// last, "--market=", or the next argument being another "--" option) sets `error`.
CommonOptions ParseCommonOptions(int argc, const char* const* argv);
CommonOptions ParseCommonOptions(const std::vector<std::string>& args);

// Puts the options in force: the data folder (--data-dir, else DefaultDataFolder(programFolder)) and the
// market route. Call before the first web request. Returns false with a message when --market is not an
// http:// or https:// address.
bool ApplyCommonOptions(const CommonOptions& options, const std::filesystem::path& programFolder, std::string& error);

// The folder of the running executable (from /proc/self/exe; "" when it cannot be told).
std::filesystem::path ProgramFolder();

}  // namespace vantrel
