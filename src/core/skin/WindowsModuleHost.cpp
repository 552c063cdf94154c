#include "skin/WindowsModuleHost.h"

#if VANTREL_RUNS_IMAGE_CODE

#include <windows.h>

namespace vantrel {
namespace {

// Pointers are 32 bits wide in this build, so addresses convert both ways without loss.
static_assert(sizeof(void*) == sizeof(std::uint32_t));

ImageRegion Allocate(void* where, std::size_t size) {
    void* memory = VirtualAlloc(where, size, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    if (memory == nullptr) {
        return {};
    }
    return {static_cast<std::uint8_t*>(memory), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(memory)),
            size};
}

}  // namespace

ImageRegion WindowsModuleHost::ReserveAt(std::uint32_t address, std::size_t size) {
    return Allocate(reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), size);
}

ImageRegion WindowsModuleHost::ReserveAnywhere(std::size_t size) {
    return Allocate(nullptr, size);
}

void WindowsModuleHost::Release(const ImageRegion& region) {
    if (region) {
        VirtualFree(region.memory, 0, MEM_RELEASE);
    }
}

HostModule WindowsModuleHost::FindModule(const char* name) {
    return reinterpret_cast<HostModule>(GetModuleHandleA(name));
}

HostModule WindowsModuleHost::LoadModule(const char* name) {
    return reinterpret_cast<HostModule>(LoadLibraryA(name));
}

std::uint32_t WindowsModuleHost::FindProcedure(HostModule module, const char* name) {
    return reinterpret_cast<std::uintptr_t>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

std::uint32_t WindowsModuleHost::FindProcedure(HostModule module, std::uint16_t ordinal) {
    return reinterpret_cast<std::uintptr_t>(
        GetProcAddress(reinterpret_cast<HMODULE>(module), MAKEINTRESOURCEA(ordinal)));
}

bool WindowsModuleHost::CallEntryPoint(std::uint32_t entry, std::uint32_t instance, std::uint32_t reason) {
    using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
    const auto call = reinterpret_cast<DllEntry>(static_cast<std::uintptr_t>(entry));
    return call(reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(instance)), reason, nullptr) != FALSE;
}

}  // namespace vantrel

#endif
