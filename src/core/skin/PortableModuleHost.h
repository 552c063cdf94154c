// A ModuleHost that runs anywhere and never executes image code: image memory is plain readable and writable
// memory; the image's 32-bit address is chosen by the options; modules, procedures and the entry point are
// whatever the caller's callbacks say. Linux builds, the tests and the fuzz target use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "skin/ModuleHost.h"

namespace vantrel {

class PortableModuleHost final : public ModuleHost {
public:
    struct Callbacks {
        // A missing callback finds nothing (returns 0), so an image with imports does not load.
        std::function<HostModule(std::string_view name)> find_module;
        std::function<HostModule(std::string_view name)> load_module;
        std::function<std::uint32_t(HostModule, std::string_view name)> find_procedure;
        std::function<std::uint32_t(HostModule, std::uint16_t ordinal)> find_procedure_by_ordinal;
        // Stands in for the entry point call. A missing callback refuses (returns false), so an image that
        // needs its entry point does not load.
        std::function<bool(std::uint32_t entry, std::uint32_t instance, std::uint32_t reason)> call_entry_point;
    };

    enum class Memory {
        kMapped,  // anonymous mmap (zero pages cost nothing until touched)
        kHeap,    // calloc: AddressSanitizer then sees every access just outside the image
    };

    struct Options {
        // Whether the image's preferred address counts as free (it is taken when the image fits below 4 GiB).
        bool preferred_address_free = true;
        // The address an image gets when its preferred one is not free.
        std::uint32_t fallback_address = 0x10000000;
        // Reservations above this many bytes fail.
        std::size_t max_reservation = std::size_t{64} << 20;
        Memory memory = Memory::kMapped;
        Callbacks callbacks;
    };

    PortableModuleHost() = default;
    explicit PortableModuleHost(Options options) : options_(std::move(options)) {}

    ImageRegion ReserveAt(std::uint32_t address, std::size_t size) override;
    ImageRegion ReserveAnywhere(std::size_t size) override;
    void Release(const ImageRegion& region) override;
    HostModule FindModule(const char* name) override;
    HostModule LoadModule(const char* name) override;
    std::uint32_t FindProcedure(HostModule module, const char* name) override;
    std::uint32_t FindProcedure(HostModule module, std::uint16_t ordinal) override;
    bool CallEntryPoint(std::uint32_t entry, std::uint32_t instance, std::uint32_t reason) override;

    // Reservations not yet released.
    int LiveRegions() const { return live_regions_; }

private:
    ImageRegion Reserve(std::uint32_t address, std::size_t size);

    Options options_;
    int live_regions_ = 0;
};

}  // namespace vantrel
