#include "skin/SkinLibraryImage.h"

#include <cstddef>

#if defined(VANTREL_EMBEDDED_SKIN_LIBRARY)
namespace vantrel::gui {
// Generated at configure time by SkinLibrary.cmake.
extern const std::uint8_t kEmbeddedSkinLibrary[];
extern const std::size_t kEmbeddedSkinLibrarySize;
}  // namespace vantrel::gui
#endif

namespace vantrel::gui {

std::span<const std::uint8_t> SkinLibraryImage() {
#if defined(VANTREL_EMBEDDED_SKIN_LIBRARY)
    return {kEmbeddedSkinLibrary, kEmbeddedSkinLibrarySize};
#else
    return {};
#endif
}

}  // namespace vantrel::gui
