// Writes a few valid DLL images into the folder given as the argument: the seeds of the pe_loader fuzz target.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "skin/PeBuilder.h"

using namespace vantrel::testing;

namespace {

Bytes Plain() {
    PeBuilder b;
    b.AddSection(".data", Bytes(0x20, 0x5A));
    return b.Build();
}

Bytes Complete(bool with_entry) {
    PeBuilder b;
    const std::uint32_t text = b.AddSection(".text", Bytes(0x40, 0xC3));
    Bytes data;
    PutAt<std::uint32_t>(data, 0, b.ImageBase() + text + 0x10);
    PutAt<std::uint32_t>(data, 4, b.ImageBase() + text + 0x20);
    const std::uint32_t data_rva = b.AddSection(".data", data, 0x2000);
    b.AddExports({{"SkinH_AttachRes", text + 0x10, {}},
                  {"SkinH_Detach", text + 0x20, {}},
                  {"Forwarded", 0, "KERNEL32.GetTickCount"}},
                 "SkinH_EL.dll");
    b.AddImports({{"KERNEL32.dll", {std::string("GetModuleHandleA"), std::uint16_t{7}}},
                  {"USER32.dll", {std::string("MessageBoxA"), std::string("DefWindowProcA")}}});
    b.AddRelocations({{data_rva}, {data_rva + 4}, {data_rva + 8, vantrel::pe::kRelocationAbsolute}});
    if (with_entry) {
        b.EntryPoint(text);
    }
    return b.Build();
}

Bytes ManySections() {
    PeBuilder b;
    for (int i = 0; i < 8; ++i) {
        b.AddSection(".s" + std::to_string(i), Bytes(0x30, static_cast<std::uint8_t>(i)), i % 2 ? 0x1800 : 0);
    }
    b.AddSection(".bss", {}, 0x4000);
    return b.Build();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const std::pair<const char*, Bytes> seeds[] = {
        {"plain.dll", Plain()},
        {"complete.dll", Complete(true)},
        {"complete-no-entry.dll", Complete(false)},
        {"many-sections.dll", ManySections()},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
            return 1;
        }
    }
    return 0;
}
