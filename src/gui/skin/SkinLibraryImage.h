// The skin library image the program carries. Only Windows x86 builds configured with
// VANTREL_SKIN_LIBRARY_IMAGE (a path to the library file) carry one; every other build carries none.
#pragma once

#include <cstdint>
#include <span>

namespace vantrel::gui {

// The image's bytes; empty when the build carries none.
std::span<const std::uint8_t> SkinLibraryImage();

}  // namespace vantrel::gui
