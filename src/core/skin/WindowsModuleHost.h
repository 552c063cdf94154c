// The ModuleHost of Windows x86 builds: the system's memory and loader services, and a direct call of the
// image's entry point. Compiled only there.
#pragma once

#include "skin/ModuleHost.h"

#if VANTREL_RUNS_IMAGE_CODE

namespace vantrel {

class WindowsModuleHost final : public ModuleHost {
public:
    ImageRegion ReserveAt(std::uint32_t address, std::size_t size) override;
    ImageRegion ReserveAnywhere(std::size_t size) override;
    void Release(const ImageRegion& region) override;
    HostModule FindModule(const char* name) override;
    HostModule LoadModule(const char* name) override;
    std::uint32_t FindProcedure(HostModule module, const char* name) override;
    std::uint32_t FindProcedure(HostModule module, std::uint16_t ordinal) override;
    bool CallEntryPoint(std::uint32_t entry, std::uint32_t instance, std::uint32_t reason) override;
};

}  // namespace vantrel

#endif
