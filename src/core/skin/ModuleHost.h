// What MappedModule needs from the platform: memory for the image, the system's modules and procedures, and
// the call of the image's entry point. WindowsModuleHost (Windows x86 only) does it for real; PortableModuleHost
// reserves plain memory and hands imports and entry calls to callbacks, never executing image code.
#pragma once

#include <cstddef>
#include <cstdint>

// Image code can run only in a 32-bit x86 Windows process; there the Windows host is used.
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define VANTREL_RUNS_IMAGE_CODE 1
#else
#define VANTREL_RUNS_IMAGE_CODE 0
#endif

namespace vantrel {

// A block of image memory: where the loader writes it, and the 32-bit address the image lives at (the base that
// relocations, exports and the entry point are computed from). On Windows x86 both are the same place.
struct ImageRegion {
    std::uint8_t* memory = nullptr;
    std::uint32_t address = 0;
    std::size_t size = 0;

    explicit operator bool() const { return memory != nullptr; }
};

// A module of the platform's loader; 0 means none.
using HostModule = std::uintptr_t;

class ModuleHost {
public:
    virtual ~ModuleHost() = default;

    // size zeroed bytes, readable, writable and executable, at address (or an empty region when it cannot be had).
    virtual ImageRegion ReserveAt(std::uint32_t address, std::size_t size) = 0;
    // size zeroed bytes anywhere (or an empty region).
    virtual ImageRegion ReserveAnywhere(std::size_t size) = 0;
    virtual void Release(const ImageRegion& region) = 0;

    // A module already loaded under this name, else 0. name is a zero-terminated text.
    virtual HostModule FindModule(const char* name) = 0;
    // Loads the module with the system loader, else 0. Modules loaded here are never released.
    virtual HostModule LoadModule(const char* name) = 0;
    // Address of a procedure of module, else 0.
    virtual std::uint32_t FindProcedure(HostModule module, const char* name) = 0;
    virtual std::uint32_t FindProcedure(HostModule module, std::uint16_t ordinal) = 0;

    // Calls the DLL entry point at entry as (instance, reason, reserved = 0); true when it returns non-zero.
    virtual bool CallEntryPoint(std::uint32_t entry, std::uint32_t instance, std::uint32_t reason) = 0;
};

// The host of this build: WindowsModuleHost on Windows x86, otherwise a PortableModuleHost without callbacks
// (every import is missing, so no image with imports loads, and no image code ever runs).
ModuleHost& DefaultModuleHost();

}  // namespace vantrel
