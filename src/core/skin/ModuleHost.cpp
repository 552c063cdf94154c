#include "skin/ModuleHost.h"

#include "skin/PortableModuleHost.h"
#include "skin/WindowsModuleHost.h"

namespace vantrel {

ModuleHost& DefaultModuleHost() {
#if VANTREL_RUNS_IMAGE_CODE
    static WindowsModuleHost host;
#else
    static PortableModuleHost host;
#endif
    return host;
}

}  // namespace vantrel
