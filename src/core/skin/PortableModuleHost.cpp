#include "skin/PortableModuleHost.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace vantrel {
namespace {

void* MapZeroed(std::size_t size) {
#if defined(_WIN32)
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
#endif
}

void Unmap(void* memory, std::size_t size) {
#if defined(_WIN32)
    (void)size;
    VirtualFree(memory, 0, MEM_RELEASE);
#else
    munmap(memory, size);
#endif
}

}  // namespace

ImageRegion PortableModuleHost::Reserve(std::uint32_t address, std::size_t size) {
    const bool fits = address != 0 && size != 0 && size <= options_.max_reservation &&
                      std::uint64_t{address} + size <= (std::uint64_t{1} << 32);
    if (!fits) {
        return {};
    }
    void* memory = options_.memory == Memory::kHeap ? std::calloc(size, 1) : MapZeroed(size);
    if (memory == nullptr) {
        return {};
    }
    ++live_regions_;
    return {static_cast<std::uint8_t*>(memory), address, size};
}

ImageRegion PortableModuleHost::ReserveAt(std::uint32_t address, std::size_t size) {
    return options_.preferred_address_free ? Reserve(address, size) : ImageRegion{};
}

ImageRegion PortableModuleHost::ReserveAnywhere(std::size_t size) {
    return Reserve(options_.fallback_address, size);
}

void PortableModuleHost::Release(const ImageRegion& region) {
    if (!region) {
        return;
    }
    if (options_.memory == Memory::kHeap) {
        std::free(region.memory);
    } else {
        Unmap(region.memory, region.size);
    }
    --live_regions_;
}

HostModule PortableModuleHost::FindModule(const char* name) {
    return options_.callbacks.find_module ? options_.callbacks.find_module(name) : 0;
}

HostModule PortableModuleHost::LoadModule(const char* name) {
    return options_.callbacks.load_module ? options_.callbacks.load_module(name) : 0;
}

std::uint32_t PortableModuleHost::FindProcedure(HostModule module, const char* name) {
    return options_.callbacks.find_procedure ? options_.callbacks.find_procedure(module, name) : 0;
}

std::uint32_t PortableModuleHost::FindProcedure(HostModule module, std::uint16_t ordinal) {
    return options_.callbacks.find_procedure_by_ordinal ? options_.callbacks.find_procedure_by_ordinal(module, ordinal)
                                                        : 0;
}

bool PortableModuleHost::CallEntryPoint(std::uint32_t entry, std::uint32_t instance, std::uint32_t reason) {
    return options_.callbacks.call_entry_point ? options_.callbacks.call_entry_point(entry, instance, reason) : false;
}

}  // namespace vantrel
