# The outside skin library may be carried by a Windows x86 (32-bit) build: configure it with
# -DVANTREL_SKIN_LIBRARY_IMAGE=path/to/the/library.dll. The project ships no such file; a build without one
# (every Linux build) carries no image and attaches its own skins.

# Writes a C++ source that defines vantrel::gui::kEmbeddedSkinLibrary(Size) with the bytes of image.
function(vantrel_write_skin_library_source image out)
    file(READ "${image}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REPEAT "0x[0-9a-f][0-9a-f]," 16 row)
    string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
    file(WRITE "${out}" "// Generated from ${image} by SkinLibrary.cmake; do not edit.
#include <cstddef>
#include <cstdint>

namespace vantrel::gui {
extern const std::uint8_t kEmbeddedSkinLibrary[];
extern const std::size_t kEmbeddedSkinLibrarySize;
const std::uint8_t kEmbeddedSkinLibrary[] = {
${bytes}
};
const std::size_t kEmbeddedSkinLibrarySize = sizeof(kEmbeddedSkinLibrary);
}  // namespace vantrel::gui
")
endfunction()

if(VANTREL_SKIN_LIBRARY_IMAGE AND TARGET vantrel_gui)
    if(NOT WIN32 OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
        message(WARNING "VANTREL_SKIN_LIBRARY_IMAGE is for Windows x86 (32-bit) builds only; this build ignores it")
    elseif(NOT EXISTS "${VANTREL_SKIN_LIBRARY_IMAGE}")
        message(FATAL_ERROR "VANTREL_SKIN_LIBRARY_IMAGE: there is no file ${VANTREL_SKIN_LIBRARY_IMAGE}")
    else()
        set(source "${CMAKE_CURRENT_BINARY_DIR}/generated/SkinLibraryData.cpp")
        vantrel_write_skin_library_source("${VANTREL_SKIN_LIBRARY_IMAGE}" "${source}")
        target_sources(vantrel_gui PRIVATE "${source}")
        target_compile_definitions(vantrel_gui PRIVATE VANTREL_EMBEDDED_SKIN_LIBRARY)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VANTREL_SKIN_LIBRARY_IMAGE}")
    endif()
endif()
