#include "app/CommonOptions.h"

#include <string_view>

#include "app/DataFolder.h"
#include "web/WebSettings.h"

namespace vantrel {

namespace {

struct KnownOption {
    std::string_view name;
    std::string_view valueName;
};

constexpr KnownOption kOptions[] = {{"--market", "URL"}, {"--data-dir", "DIR"}};

void Store(CommonOptions& out, std::string_view name, std::string value) {
    if (name == "--market") {
        out.market = std::move(value);
    } else {
        out.dataDir = std::move(value);
    }
}

}  // namespace

CommonOptions ParseCommonOptions(const std::vector<std::string>& args) {
    CommonOptions out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (i == 0) {
            out.rest.push_back(arg);
            continue;
        }
        if (arg == "--") {
            out.rest.insert(out.rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        const KnownOption* known = nullptr;
        bool inlineValue = false;
        for (const KnownOption& o : kOptions) {
            if (arg == o.name) {
                known = &o;
            } else if (arg.size() > o.name.size() && arg.compare(0, o.name.size(), o.name) == 0 &&
                       arg[o.name.size()] == '=') {
                known = &o;
                inlineValue = true;
            }
        }
        if (!known) {
            out.rest.push_back(arg);
            continue;
        }
        std::string value;
        bool missing = false;
        if (inlineValue) {
            value = arg.substr(known->name.size() + 1);
            missing = value.empty();
        } else if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1].compare(0, 2, "--") != 0) {
            value = args[++i];
        } else {
            missing = true;
        }
        if (missing) {
            if (out.error.empty()) {
                out.error = "option " + std::string(known->name) + " needs a value: " + std::string(known->name) + " " +
                            std::string(known->valueName);
            }
            continue;
        }
        Store(out, known->name, std::move(value));
    }
    return out;
}

CommonOptions ParseCommonOptions(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        args.emplace_back(argv[i] ? argv[i] : "");
    }
    return ParseCommonOptions(args);
}

bool ApplyCommonOptions(const CommonOptions& options, const std::filesystem::path& programFolder, std::string& error) {
    if (!web::SetMarketRoute(options.market)) {
        error = "option --market needs an http:// or https:// address with a host, e.g. http://127.0.0.1:8080 (got \"" +
                options.market + "\")";
        return false;
    }
    SetDataFolder(options.dataDir.empty() ? DefaultDataFolder(programFolder) : options.dataDir);
    return true;
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

}  // namespace vantrel
