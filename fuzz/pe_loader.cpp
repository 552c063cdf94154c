// Maps arbitrary bytes as a DLL image with the portable host: imports resolve to stubs and the entry point
// "runs" as a callback, so no byte of the input is ever executed. Every image is loaded twice, at its preferred
// base and away from it, so relocations are patched; then a few exports are looked up and it is unloaded.
#include <cstddef>
#include <cstdint>
#include <span>

#include "skin/MappedModule.h"
#include "skin/PortableModuleHost.h"

namespace {

vantrel::PortableModuleHost::Options HostOptions(bool preferred_free, bool accept_attach) {
    vantrel::PortableModuleHost::Options options;
    options.preferred_address_free = preferred_free;
    options.fallback_address = 0x00400000;
    options.max_reservation = std::size_t{16} << 20;  // keeps each run fast; every size path stays reachable
    options.memory = vantrel::PortableModuleHost::Memory::kHeap;  // AddressSanitizer sees the image's exact bounds
    auto& c = options.callbacks;
    c.find_module = [](std::string_view name) -> vantrel::HostModule { return name.empty() ? 0 : 0x7C800000; };
    c.load_module = [](std::string_view) -> vantrel::HostModule { return 0; };
    c.find_procedure = [](vantrel::HostModule, std::string_view name) -> std::uint32_t {
        return name.empty() ? 0 : 0x7C801000;
    };
    c.find_procedure_by_ordinal = [](vantrel::HostModule, std::uint16_t ordinal) -> std::uint32_t {
        return 0x7C900000u + ordinal;
    };
    c.call_entry_point = [accept_attach](std::uint32_t, std::uint32_t, std::uint32_t) { return accept_attach; };
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> image(data, size);
    const bool accept_attach = size % 7 != 0;
    for (const bool preferred_free : {true, false}) {
        vantrel::PortableModuleHost host(HostOptions(preferred_free, accept_attach));
        vantrel::MappedModule module(host);
        if (module.LoadFromMemory(image)) {
            module.FindExport("SkinH_AttachRes");
            module.FindExport("");
            module.EntryAddress();
            module.LoadFromMemory(image);  // refused: already loaded
            module.Unload();
        }
        if (host.LiveRegions() != 0) {
            __builtin_trap();  // a failed load or an unload left memory behind
        }
    }
    return 0;
}
