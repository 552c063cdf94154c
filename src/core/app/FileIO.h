// Whole-file reads and atomic whole-file writes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// The whole file, or nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Writes bytes to a temporary file beside path, flushes it and renames it over path, so readers see either
// the old or the new content, never a half file. Returns false (and leaves path as it was) on failure.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vantrel
