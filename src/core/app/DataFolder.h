// The data folder: where "url.txt", the cookie store, the browser profile and the HTML reports live.
#pragma once

#include <filesystem>

namespace vantrel {

// The program's own folder when it is writable, otherwise the per-user data folder
// ($XDG_DATA_HOME/vantrel or ~/.local/share/vantrel), created when missing.
std::filesystem::path DefaultDataFolder(const std::filesystem::path& programFolder);

// The folder in force for this process (set once at start-up, e.g. from --data-dir).
void SetDataFolder(const std::filesystem::path& folder);
std::filesystem::path DataFolder();

}  // namespace vantrel
