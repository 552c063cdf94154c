#include "app/DataFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>

#include "app/CommonOptions.h"

namespace vantrel {

namespace {

std::mutex g_lock;
std::optional<std::filesystem::path> g_folder;

bool IsWritableFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    return !folder.empty() && std::filesystem::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) {
        return pw->pw_dir;
    }
    return {};
}

}  // namespace

std::filesystem::path DefaultDataFolder(const std::filesystem::path& programFolder) {
    std::error_code ec;
    if (IsWritableFolder(programFolder)) {
        std::filesystem::path folder = std::filesystem::absolute(programFolder, ec);
        return ec ? programFolder : folder;
    }
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
        base = xdg;
    } else if (std::filesystem::path home = HomeFolder(); !home.empty()) {
        base = home / ".local" / "share";
    } else {
        base = std::filesystem::temp_directory_path(ec) / ("vantrel-" + std::to_string(::getuid()));
    }
    std::filesystem::path folder = base / "vantrel";
    std::filesystem::create_directories(folder, ec);
    return folder;
}

void SetDataFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    if (ec) {
        absolute = folder;
    }
    std::filesystem::create_directories(absolute, ec);
    std::lock_guard<std::mutex> l(g_lock);
    g_folder = absolute;
}

std::filesystem::path DataFolder() {
    std::lock_guard<std::mutex> l(g_lock);
    if (!g_folder) {
        g_folder = DefaultDataFolder(ProgramFolder());
    }
    return *g_folder;
}

}  // namespace vantrel
