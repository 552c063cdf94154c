#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "skin/MappedModule.h"
#include "skin/PeBuilder.h"
#include "skin/PortableModuleHost.h"

namespace vantrel::testing {
namespace {

constexpr HostModule kKernel32 = 0x7C800000;
constexpr HostModule kUser32 = 0x7E410000;
constexpr std::uint32_t kFallbackBase = 0x20000000;

// Stands in for the system loader and records what the loader asked of it.
struct FakeSystem {
    std::vector<std::string> looked_up;
    std::vector<std::string> loaded;
    std::vector<std::string> procedures;
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> entry_calls;  // entry, instance, reason
    bool accept_attach = true;

    PortableModuleHost::Options Options(bool preferred_free = true) {
        PortableModuleHost::Options options;
        options.preferred_address_free = preferred_free;
        options.fallback_address = kFallbackBase;
        options.memory = PortableModuleHost::Memory::kHeap;  // exact bounds for AddressSanitizer
        auto& c = options.callbacks;
        c.find_module = [this](std::string_view name) -> HostModule {
            looked_up.emplace_back(name);
            return name == "KERNEL32.dll" ? kKernel32 : 0;
        };
        c.load_module = [this](std::string_view name) -> HostModule {
            loaded.emplace_back(name);
            return name == "USER32.dll" ? kUser32 : 0;
        };
        c.find_procedure = [this](HostModule module, std::string_view name) -> std::uint32_t {
            procedures.emplace_back(name);
            if (name == "Missing") {
                return 0;
            }
            return static_cast<std::uint32_t>(module + 0x100 + name.size());
        };
        c.find_procedure_by_ordinal = [this](HostModule module, std::uint16_t ordinal) -> std::uint32_t {
            procedures.push_back("#" + std::to_string(ordinal));
            return static_cast<std::uint32_t>(module + 0x8000 + ordinal);
        };
        c.call_entry_point = [this](std::uint32_t entry, std::uint32_t instance, std::uint32_t reason) {
            entry_calls.emplace_back(entry, instance, reason);
            return reason != pe::kDllProcessAttach || accept_attach;
        };
        return options;
    }
};

// Addresses inside the sample DLL.
struct Sample {
    std::uint32_t text = 0;
    std::uint32_t data = 0;
    std::uint32_t exports = 0;
    std::uint32_t imports = 0;
    std::uint32_t relocations = 0;
    PeBuilder builder;
};

// A DLL with code, three data words (the first two relocated), two exports, imports by name and by ordinal
// from a loaded and a not yet loaded module, and an entry point.
Bytes SampleDll(Sample* out = nullptr) {
    Sample s;
    PeBuilder& b = s.builder;
    s.text = b.AddSection(".text", Bytes(0x40, 0xC3));
    s.data = b.NextRva();
    const std::uint32_t base = b.ImageBase();
    Bytes data;
    PutAt<std::uint32_t>(data, 0, base + s.text + 0x10);
    PutAt<std::uint32_t>(data, 4, base + s.data + 8);
    PutAt<std::uint32_t>(data, 8, 0x12345678);
    b.AddSection(".data", data);
    s.exports = b.AddExports({{"SkinH_AttachRes", s.text + 0x10, {}}, {"Other", s.text + 0x20, {}}});
    s.imports = b.AddImports({{"KERNEL32.dll", {std::string("GetTickCount"), std::uint16_t{7}}},
                              {"USER32.dll", {std::string("MessageBoxA")}}});
    s.relocations = b.AddRelocations({{s.data + 0}, {s.data + 4}});
    b.EntryPoint(s.text);
    Bytes image = b.Build();
    if (out != nullptr) {
        *out = std::move(s);
    }
    return image;
}

// The smallest loadable DLL: one data section, no tables, no entry point.
Bytes PlainDll(PeBuilder* out = nullptr) {
    PeBuilder b;
    b.AddSection(".data", Bytes(0x10, 0x5A));
    Bytes image = b.Build();
    if (out != nullptr) {
        *out = b;
    }
    return image;
}

std::uint32_t WordAt(const MappedModule& module, std::uint32_t rva) {
    std::uint32_t value = 0;
    std::memcpy(&value, module.Image().data() + rva, sizeof(value));
    return value;
}

class MappedModuleTest : public ::testing::Test {
protected:
    bool Load(const Bytes& image, bool preferred_free = true) {
        host_ = std::make_unique<PortableModuleHost>(system_.Options(preferred_free));
        module_ = std::make_unique<MappedModule>(*host_);
        return module_->LoadFromMemory(image);
    }
    // A refused image leaves nothing behind.
    void ExpectRefused(const Bytes& image, bool preferred_free = true) {
        EXPECT_FALSE(Load(image, preferred_free));
        EXPECT_EQ(module_->BaseAddress(), 0u);
        EXPECT_EQ(module_->EntryAddress(), 0u);
        EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), 0u);
        EXPECT_TRUE(module_->Image().empty());
        EXPECT_TRUE(module_->Sections().empty());
        EXPECT_EQ(host_->LiveRegions(), 0);
    }
    void TearDown() override {
        if (module_) {
            module_->Unload();
            EXPECT_EQ(host_->LiveRegions(), 0);
        }
    }

    FakeSystem system_;
    std::unique_ptr<PortableModuleHost> host_;
    std::unique_ptr<MappedModule> module_;
};

// --- loading a well-formed DLL ---

TEST_F(MappedModuleTest, LoadsAtThePreferredBaseAndFindsExports) {
    Sample s;
    const Bytes image = SampleDll(&s);
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(module_->BaseAddress(), kDefaultImageBase);
    EXPECT_EQ(module_->EntryAddress(), kDefaultImageBase + s.text);
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), kDefaultImageBase + s.text + 0x10);
    EXPECT_EQ(module_->FindExport("Other"), kDefaultImageBase + s.text + 0x20);
    EXPECT_EQ(module_->FindExport("Missing"), 0u);
    EXPECT_EQ(module_->FindExport(nullptr), 0u);
    EXPECT_EQ(host_->LiveRegions(), 1);
}

TEST_F(MappedModuleTest, CopiesHeadersAndSections) {
    Sample s;
    const Bytes image = SampleDll(&s);
    ASSERT_TRUE(Load(image));
    ASSERT_EQ(module_->Image().size(), s.builder.NextRva());
    EXPECT_EQ(std::memcmp(module_->Image().data(), image.data(), module_->NtHeaders().OptionalHeader.SizeOfHeaders), 0);
    EXPECT_EQ(module_->Image()[s.text], 0xC3);
    EXPECT_EQ(module_->Image()[s.text + 0x3F], 0xC3);
    EXPECT_EQ(module_->Image()[s.text + 0x40], 0x00);  // the rest of the section stays zeroed
    EXPECT_EQ(WordAt(*module_, s.data + 8), 0x12345678u);
    ASSERT_EQ(module_->Sections().size(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(module_->Sections()[0].Name)), ".text");
    EXPECT_EQ(module_->DosHeader().e_lfanew, kNtOffset);
}

TEST_F(MappedModuleTest, CallsTheEntryPointWithProcessAttachAndDetachOnUnload) {
    Sample s;
    ASSERT_TRUE(Load(SampleDll(&s)));
    const std::uint32_t entry = kDefaultImageBase + s.text;
    ASSERT_EQ(system_.entry_calls.size(), 1u);
    EXPECT_EQ(system_.entry_calls[0], std::make_tuple(entry, kDefaultImageBase, pe::kDllProcessAttach));
    module_->Unload();
    ASSERT_EQ(system_.entry_calls.size(), 2u);
    EXPECT_EQ(system_.entry_calls[1], std::make_tuple(entry, kDefaultImageBase, pe::kDllProcessDetach));
    EXPECT_EQ(module_->BaseAddress(), 0u);
    EXPECT_EQ(module_->FindExport("Other"), 0u);
    EXPECT_EQ(host_->LiveRegions(), 0);
    module_->Unload();  // nothing loaded: nothing happens
    EXPECT_EQ(system_.entry_calls.size(), 2u);
}

TEST_F(MappedModuleTest, NoEntryCallWithoutTheDllFlagOrWithoutAnEntryPoint) {
    PeBuilder b;
    const std::uint32_t text = b.AddSection(".text", Bytes(0x10, 0xC3));
    b.EntryPoint(text).Characteristics(0x0102);  // an executable, not a DLL
    ASSERT_TRUE(Load(b.Build()));
    EXPECT_EQ(module_->EntryAddress(), kDefaultImageBase + text);
    module_->Unload();
    ASSERT_TRUE(Load(PlainDll()));
    EXPECT_TRUE(system_.entry_calls.empty());
}

TEST_F(MappedModuleTest, EntryPointThatRefusesTheAttachGetsTheDetachAndTheMemoryIsReleased) {
    Sample s;
    const Bytes image = SampleDll(&s);
    system_.accept_attach = false;
    ExpectRefused(image);
    const std::uint32_t entry = kDefaultImageBase + s.text;
    ASSERT_EQ(system_.entry_calls.size(), 2u);
    EXPECT_EQ(system_.entry_calls[0], std::make_tuple(entry, kDefaultImageBase, pe::kDllProcessAttach));
    EXPECT_EQ(system_.entry_calls[1], std::make_tuple(entry, kDefaultImageBase, pe::kDllProcessDetach));
}

TEST_F(MappedModuleTest, ASecondLoadIsRefusedAndLeavesTheFirstImageInPlace) {
    Sample s;
    const Bytes image = SampleDll(&s);
    ASSERT_TRUE(Load(image));
    const std::uint8_t* first = module_->Image().data();
    EXPECT_FALSE(module_->LoadFromMemory(PlainDll()));
    EXPECT_FALSE(module_->LoadFromMemory(image));
    EXPECT_EQ(module_->Image().data(), first);
    EXPECT_EQ(module_->BaseAddress(), kDefaultImageBase);
    EXPECT_EQ(module_->FindExport("Other"), kDefaultImageBase + s.text + 0x20);
    EXPECT_EQ(module_->Sections().size(), 5u);
    EXPECT_EQ(host_->LiveRegions(), 1);
    EXPECT_EQ(system_.entry_calls.size(), 1u);
}

TEST_F(MappedModuleTest, TheImageCanBeLoadedAgainAfterUnload) {
    ASSERT_TRUE(Load(SampleDll()));
    module_->Unload();
    EXPECT_TRUE(module_->LoadFromMemory(SampleDll()));
    EXPECT_EQ(host_->LiveRegions(), 1);
}

TEST_F(MappedModuleTest, AnImageWhoseTablesAreMissingStillLoads) {
    PeBuilder b;
    ASSERT_TRUE(Load(PlainDll(&b)));
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), 0u);
    EXPECT_EQ(module_->Image()[b.NextRva() - kSectionAlignment], 0x5A);
}

// --- exports ---

TEST_F(MappedModuleTest, ExportNamesCompareExactly) {
    ASSERT_TRUE(Load(SampleDll()));
    EXPECT_NE(module_->FindExport("SkinH_AttachRes"), 0u);
    EXPECT_EQ(module_->FindExport("skinh_attachres"), 0u);
    EXPECT_EQ(module_->FindExport("SKINH_ATTACHRES"), 0u);
    EXPECT_EQ(module_->FindExport("SkinH_AttachRe"), 0u);
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes "), 0u);
    EXPECT_EQ(module_->FindExport(""), 0u);
}

TEST_F(MappedModuleTest, AForwarderExportIsNotFound) {
    PeBuilder b;
    const std::uint32_t text = b.AddSection(".text", Bytes(0x10, 0xC3));
    b.AddExports({{"Forwarded", 0, "KERNEL32.GetTickCount"}, {"Own", text, {}}});
    ASSERT_TRUE(Load(b.Build()));
    EXPECT_EQ(module_->FindExport("Forwarded"), 0u);
    EXPECT_EQ(module_->FindExport("Own"), kDefaultImageBase + text);
}

TEST_F(MappedModuleTest, AnOrdinalPastTheFunctionTableIsNotFound) {
    Sample s;
    Bytes image = SampleDll(&s);
    const auto exports = GetAt<pe::ExportDirectory>(image, FileOffsetOf(image, s.exports));
    // "Other" sorts first; its ordinal index becomes 2, one past the two functions, then far past the image.
    for (std::uint16_t past : {std::uint16_t{2}, std::uint16_t{0xFFFF}}) {
        Bytes edited = image;
        EditAt<std::uint16_t>(edited, exports.AddressOfNameOrdinals, [&](std::uint16_t& index) { index = past; });
        ASSERT_TRUE(Load(edited));
        EXPECT_EQ(module_->FindExport("Other"), 0u) << past;
        EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), kDefaultImageBase + s.text + 0x10);
        module_->Unload();
    }
}

TEST_F(MappedModuleTest, AHugeNameCountFindsNothing) {
    Sample s;
    Bytes image = SampleDll(&s);
    EditAt<pe::ExportDirectory>(image, s.exports, [](pe::ExportDirectory& e) { e.NumberOfNames = 0x20000000; });
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), 0u);
}

TEST_F(MappedModuleTest, ExportTablesOutsideTheImageFindNothing) {
    Sample s;
    const Bytes good = SampleDll(&s);
    const std::uint32_t end = s.builder.NextRva();
    const std::vector<std::function<void(pe::ExportDirectory&)>> edits = {
        [&](pe::ExportDirectory& e) { e.AddressOfNames = end - 4; },         // 2 names, room for 1
        [&](pe::ExportDirectory& e) { e.AddressOfNameOrdinals = end - 2; },  // room for 1 of 2
        [&](pe::ExportDirectory& e) { e.AddressOfFunctions = 0xFFFFFFFC; },
        [&](pe::ExportDirectory& e) { e.NumberOfFunctions = 0x40000001; },  // 4 * n wraps in 32 bits
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        Bytes image = good;
        EditAt<pe::ExportDirectory>(image, s.exports, edits[i]);
        ASSERT_TRUE(Load(image)) << i;
        EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), 0u) << i;
        module_->Unload();
    }
    // The directory itself past the end, and an export whose name runs to the end without a zero.
    Bytes image = good;
    EditNt(image, [&](pe::NtHeaders32& nt) { nt.OptionalHeader.DataDirectory[0].VirtualAddress = end - 20; });
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), 0u);
}

TEST_F(MappedModuleTest, AnExportNameWithoutItsZeroIsSkipped) {
    PeBuilder b;
    const std::uint32_t text = b.AddSection(".text", Bytes(0x10, 0xC3));
    const std::uint32_t exports = b.AddExports({{"Own", text, {}}});
    const std::uint32_t tail = b.AddSection(".tail", Bytes(kSectionAlignment, 'A'));
    Bytes image = b.Build();
    const auto directory = GetAt<pe::ExportDirectory>(image, FileOffsetOf(image, exports));
    EditAt<std::uint32_t>(image, directory.AddressOfNames,
                          [&](std::uint32_t& name) { name = tail + kSectionAlignment - 3; });  // "AAA" up to the end
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(module_->FindExport("AAA"), 0u);
    EXPECT_EQ(module_->FindExport("Own"), 0u);
}

TEST_F(MappedModuleTest, ExportDirectoriesBeyondTheDeclaredCountAreIgnored) {
    Bytes image = SampleDll();
    EditNt(image, [](pe::NtHeaders32& nt) { nt.OptionalHeader.NumberOfRvaAndSizes = 0; });
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), 0u);
    EXPECT_TRUE(system_.procedures.empty());  // imports ignored too
}

// --- relocations ---

TEST_F(MappedModuleTest, AwayFromItsPreferredBaseTheRelocatedValuesArePatched) {
    Sample s;
    ASSERT_TRUE(Load(SampleDll(&s), /*preferred_free=*/false));
    EXPECT_EQ(module_->BaseAddress(), kFallbackBase);
    EXPECT_EQ(WordAt(*module_, s.data + 0), kFallbackBase + s.text + 0x10);
    EXPECT_EQ(WordAt(*module_, s.data + 4), kFallbackBase + s.data + 8);
    EXPECT_EQ(WordAt(*module_, s.data + 8), 0x12345678u);  // no relocation entry
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), kFallbackBase + s.text + 0x10);
    EXPECT_EQ(module_->EntryAddress(), kFallbackBase + s.text);
    EXPECT_EQ(std::get<1>(system_.entry_calls.at(0)), kFallbackBase);
}

TEST_F(MappedModuleTest, AtItsPreferredBaseRelocationsLeaveTheValuesUnchanged) {
    Sample s;
    ASSERT_TRUE(Load(SampleDll(&s)));
    EXPECT_EQ(WordAt(*module_, s.data + 0), kDefaultImageBase + s.text + 0x10);
    EXPECT_EQ(WordAt(*module_, s.data + 4), kDefaultImageBase + s.data + 8);
}

TEST_F(MappedModuleTest, RelocationDeltaWrapsInThirtyTwoBits) {
    PeBuilder b(0xF0000000);
    Bytes data;
    PutAt<std::uint32_t>(data, 0, 0xF0001000);
    const std::uint32_t rva = b.AddSection(".data", data);
    b.AddRelocations({{rva}});
    ASSERT_TRUE(Load(b.Build(), /*preferred_free=*/false));
    EXPECT_EQ(WordAt(*module_, rva), kFallbackBase + 0x1000);  // 0xF0001000 + (0x20000000 - 0xF0000000)
}

TEST_F(MappedModuleTest, RelocationBlocksOfSizeZeroOrSevenAreRefused) {
    Sample s;
    const Bytes good = SampleDll(&s);
    for (std::uint32_t size : {0u, 7u}) {
        Bytes image = good;
        EditAt<pe::RelocationBlock>(image, s.relocations, [&](pe::RelocationBlock& b) { b.SizeOfBlock = size; });
        ExpectRefused(image, false);
        ExpectRefused(image, true);
    }
}

TEST_F(MappedModuleTest, ARelocationBlockLargerThanItsDirectoryIsRefused) {
    Sample s;
    Bytes image = SampleDll(&s);
    EditAt<pe::RelocationBlock>(image, s.relocations, [](pe::RelocationBlock& b) { b.SizeOfBlock += 2; });
    ExpectRefused(image, false);
}

TEST_F(MappedModuleTest, ARelocationTargetMustHoldFourBytesInsideTheImage) {
    PeBuilder b;
    const std::uint32_t relocations = b.NextRva();
    const std::uint32_t data = relocations + kSectionAlignment;  // the table fits in one page
    const std::uint32_t end = data + kSectionAlignment;
    b.AddRelocations({{end - 1}});
    ASSERT_EQ(b.AddSection(".data", Bytes(kSectionAlignment, 0)), data);
    ExpectRefused(b.Build(), false);

    PeBuilder fits;
    fits.AddRelocations({{end - 4}});
    fits.AddSection(".data", Bytes(kSectionAlignment, 0));
    ASSERT_TRUE(Load(fits.Build(), false));
    EXPECT_EQ(WordAt(*module_, end - 4), kFallbackBase - kDefaultImageBase);
}

TEST_F(MappedModuleTest, UnknownRelocationTypesAreRefusedAndPaddingIsSkipped) {
    PeBuilder b;
    const std::uint32_t data = b.AddSection(".data", Bytes(0x10, 0));
    b.AddRelocations({{data, 10}});  // a 64-bit relocation in a 32-bit image
    ExpectRefused(b.Build(), false);

    PeBuilder padded;
    const std::uint32_t rva = padded.AddSection(".data", Bytes(0x10, 0));
    padded.AddRelocations({{rva + 8, pe::kRelocationAbsolute}, {rva}});
    ASSERT_TRUE(Load(padded.Build(), false));
    EXPECT_EQ(WordAt(*module_, rva + 8), 0u);
    EXPECT_EQ(WordAt(*module_, rva), kFallbackBase - kDefaultImageBase);
}

TEST_F(MappedModuleTest, ARelocationDirectoryOutsideTheImageIsRefused) {
    Sample s;
    Bytes image = SampleDll(&s);
    EditNt(image, [&](pe::NtHeaders32& nt) {
        nt.OptionalHeader.DataDirectory[pe::kDirectoryBaseRelocation].Size = s.builder.NextRva();
    });
    ExpectRefused(image);
}

TEST_F(MappedModuleTest, TheRelocationWalkEndsAtABlockWithAddressZeroOrAtTheDirectoryEnd) {
    Sample s;
    Bytes image = SampleDll(&s);
    EditAt<pe::RelocationBlock>(image, s.relocations, [](pe::RelocationBlock& b) { b.VirtualAddress = 0; });
    ASSERT_TRUE(Load(image, false));
    EXPECT_EQ(WordAt(*module_, s.data), kDefaultImageBase + s.text + 0x10);  // not patched
    module_->Unload();

    // A directory that ends a few bytes after the last block: the remainder is no block.
    image = SampleDll(&s);
    EditNt(image, [](pe::NtHeaders32& nt) { nt.OptionalHeader.DataDirectory[pe::kDirectoryBaseRelocation].Size += 6; });
    ASSERT_TRUE(Load(image, false));
    EXPECT_EQ(WordAt(*module_, s.data), kFallbackBase + s.text + 0x10);
}

// --- imports ---

TEST_F(MappedModuleTest, ImportsAreResolvedByNameAndByOrdinal) {
    Sample s;
    ASSERT_TRUE(Load(SampleDll(&s)));
    EXPECT_EQ(system_.looked_up, (std::vector<std::string>{"KERNEL32.dll", "USER32.dll"}));
    EXPECT_EQ(system_.loaded, (std::vector<std::string>{"USER32.dll"}));  // only when not already loaded
    EXPECT_EQ(system_.procedures, (std::vector<std::string>{"GetTickCount", "#7", "MessageBoxA"}));
    EXPECT_EQ(WordAt(*module_, s.builder.ImportSlot(0, 0)), kKernel32 + 0x100 + 12);
    EXPECT_EQ(WordAt(*module_, s.builder.ImportSlot(0, 1)), kKernel32 + 0x8000 + 7);
    EXPECT_EQ(WordAt(*module_, s.builder.ImportSlot(1, 0)), kUser32 + 0x100 + 11);
}

TEST_F(MappedModuleTest, AMissingModuleOrProcedureFailsTheLoad) {
    PeBuilder b;
    b.AddImports({{"NOWHERE.dll", {std::string("GetTickCount")}}});
    ExpectRefused(b.Build());

    PeBuilder c;
    c.AddImports({{"KERNEL32.dll", {std::string("GetTickCount"), std::string("Missing")}}});
    ExpectRefused(c.Build());
    EXPECT_TRUE(system_.entry_calls.empty());
}

TEST_F(MappedModuleTest, WithoutCallbacksThePortableHostFindsNoImportsAndRunsNoEntryPoint) {
    PortableModuleHost host;
    MappedModule module(host);
    EXPECT_FALSE(module.LoadFromMemory(SampleDll()));
    EXPECT_EQ(host.LiveRegions(), 0);

    PeBuilder b;
    const std::uint32_t text = b.AddSection(".text", Bytes(0x10, 0xC3));
    b.EntryPoint(text);
    EXPECT_FALSE(module.LoadFromMemory(b.Build()));  // the entry point is refused
    EXPECT_TRUE(module.LoadFromMemory(PlainDll()));
    module.Unload();
    EXPECT_EQ(host.LiveRegions(), 0);
}

TEST_F(MappedModuleTest, ImportNamesWithoutTheirZeroAreRefused) {
    // The module name, then the procedure name, runs up to the end of the image without a terminating zero.
    for (int which = 0; which < 2; ++which) {
        PeBuilder b;
        const std::uint32_t imports = b.AddImports({{"KERNEL32.dll", {std::string("GetTickCount")}}});
        const std::uint32_t slot = b.ImportSlot(0, 0);
        const std::uint32_t tail = b.AddSection(".tail", Bytes(kSectionAlignment, 'A'));
        const std::uint32_t end = tail + kSectionAlignment;
        Bytes image = b.Build();
        if (which == 0) {
            EditAt<pe::ImportDescriptor>(image, imports, [&](pe::ImportDescriptor& d) { d.Name = end - 12; });
        } else {
            EditAt<std::uint32_t>(image, slot, [&](std::uint32_t& hint_name) { hint_name = end - 14; });
        }
        ExpectRefused(image);
        EXPECT_TRUE(system_.procedures.empty()) << which;
    }
}

TEST_F(MappedModuleTest, ImportTablesOutsideTheImageAreRefused) {
    Sample s;
    const Bytes good = SampleDll(&s);
    const std::uint32_t end = s.builder.NextRva();
    const std::vector<std::function<void(pe::ImportDescriptor&)>> edits = {
        [&](pe::ImportDescriptor& d) { d.Name = end; },
        [&](pe::ImportDescriptor& d) { d.FirstThunk = end - 2; },
        [&](pe::ImportDescriptor& d) { d.FirstThunk = 0xFFFFFFFC; },
    };
    for (const auto& edit : edits) {
        Bytes image = good;
        EditAt<pe::ImportDescriptor>(image, s.imports, edit);
        ExpectRefused(image);
    }
    Bytes image = good;
    EditAt<std::uint32_t>(image, s.builder.ImportSlot(0, 0), [](std::uint32_t& entry) { entry = 0x7FFFFFFF; });
    ExpectRefused(image);
    image = good;
    EditNt(image, [&](pe::NtHeaders32& nt) { nt.OptionalHeader.DataDirectory[1].VirtualAddress = end - 10; });
    ExpectRefused(image);
}

TEST_F(MappedModuleTest, AnImportTableRunningToTheImageEndIsRefused) {
    // Descriptors that never end (no FirstThunk of 0 before the image ends).
    PeBuilder b;
    b.AddSection(".data", Bytes(0x10, 0));
    Bytes image = b.Build();
    const std::uint32_t end = b.NextRva();
    EditNt(image, [&](pe::NtHeaders32& nt) { nt.OptionalHeader.DataDirectory[1] = {end - 40, 40}; });
    // The last 40 bytes of the image are zero: a descriptor with FirstThunk 0 ends the walk at once.
    ASSERT_TRUE(Load(image));
    module_->Unload();
    EditNt(image, [&](pe::NtHeaders32& nt) { nt.OptionalHeader.DataDirectory[1] = {end - 12, 12}; });
    ExpectRefused(image);  // a descriptor cut off by the end of the image
}

// --- header checks ---

TEST_F(MappedModuleTest, AnImageShorterThanTheNtHeadersIsRefused) {
    const Bytes good = PlainDll();
    ExpectRefused(Bytes(good.begin(), good.begin() + kNtOffset + 247));
    ExpectRefused(Bytes(good.begin(), good.begin() + 63));
    ExpectRefused({});
}

TEST_F(MappedModuleTest, SectionRawDataPastTheEndIsRefused) {
    Bytes image = PlainDll();
    const std::size_t size = image.size();
    EditSection(image, 0, [&](pe::SectionHeader& s) {
        s.SizeOfRawData = static_cast<std::uint32_t>(size) - s.PointerToRawData + 1;
    });
    ExpectRefused(image);
    image = PlainDll();
    EditSection(image, 0, [](pe::SectionHeader& s) { s.PointerToRawData = 0xFFFFFF00; });  // wraps in 32 bits
    ExpectRefused(image);
}

TEST_F(MappedModuleTest, TheSixtyFourBitOptionalHeaderIsRefused) {
    Bytes image = PlainDll();
    EditNt(image, [](pe::NtHeaders32& nt) { nt.FileHeader.SizeOfOptionalHeader = 240; });
    ExpectRefused(image);
}

TEST_F(MappedModuleTest, BadSignaturesAndFlagsAreRefused) {
    const Bytes good = PlainDll();
    Bytes image = good;
    EditDos(image, [](pe::DosHeader& d) { d.e_magic = 0x4D5A; });
    ExpectRefused(image);
    image = good;
    EditNt(image, [](pe::NtHeaders32& nt) { nt.Signature = 0x00014550; });
    ExpectRefused(image);
    image = good;
    EditNt(image, [](pe::NtHeaders32& nt) { nt.FileHeader.Characteristics = 0x2100; });  // not executable
    ExpectRefused(image);
}

TEST_F(MappedModuleTest, ANegativeLookingNtHeaderOffsetIsRefused) {
    Bytes image = PlainDll();
    EditDos(image, [](pe::DosHeader& d) { d.e_lfanew = 0xFFFFFF10; });  // -240: 32-bit sums would wrap to 8
    ExpectRefused(image);
}

TEST_F(MappedModuleTest, AlignmentsMustBePowersOfTwoWithTheSectionAlignmentNotBelowTheFileAlignment) {
    const Bytes good = PlainDll();
    for (auto [section, file] : {std::pair{0x1000u, 0x300u}, std::pair{0x1800u, 0x200u}, std::pair{0u, 0x200u},
                                 std::pair{0x1000u, 0u}, std::pair{0x100u, 0x200u}}) {
        Bytes image = good;
        EditNt(image, [&](pe::NtHeaders32& nt) {
            nt.OptionalHeader.SectionAlignment = section;
            nt.OptionalHeader.FileAlignment = file;
        });
        ExpectRefused(image);
    }
    Bytes image = good;
    EditNt(image, [](pe::NtHeaders32& nt) { nt.OptionalHeader.FileAlignment = 0x1000; });
    EXPECT_TRUE(Load(image));
}

TEST_F(MappedModuleTest, AtMostNinetySixSections) {
    PeBuilder b;
    b.FirstSectionAt(0x2000);  // 97 section headers need more than a page
    for (int i = 0; i < 96; ++i) {
        b.AddSection(".s", Bytes(1, static_cast<std::uint8_t>(i)));
    }
    EXPECT_TRUE(Load(b.Build()));
    module_->Unload();
    b.AddSection(".s", Bytes(1, 0));
    ExpectRefused(b.Build());
}

TEST_F(MappedModuleTest, TheSectionTableMustLieInsideTheHeadersAndTheHeadersInsideTheBytes) {
    const Bytes good = PlainDll();
    Bytes image = good;
    EditNt(image, [](pe::NtHeaders32& nt) { nt.OptionalHeader.SizeOfHeaders = kNtOffset + 248 + 39; });
    ExpectRefused(image);
    image = good;
    EditNt(image,
           [&](pe::NtHeaders32& nt) { nt.OptionalHeader.SizeOfHeaders = static_cast<std::uint32_t>(good.size() + 1); });
    ExpectRefused(image);
    EXPECT_FALSE(module_->ParseHeaders(image));  // refused with the headers, before any memory is reserved
    image = good;
    EditNt(image, [](pe::NtHeaders32& nt) { nt.FileHeader.NumberOfSections = 20; });  // table past SizeOfHeaders
    ExpectRefused(image);
    image = good;
    EditNt(image, [](pe::NtHeaders32& nt) { nt.OptionalHeader.SizeOfHeaders = kNtOffset + 248 + 40; });  // just fits
    EXPECT_TRUE(Load(image));
}

TEST_F(MappedModuleTest, OverlappingOrWrappingSectionsAreRefused) {
    PeBuilder b;
    b.AddSection(".a", Bytes(0x10, 1));
    b.AddSection(".b", Bytes(0x10, 2));
    const Bytes good = b.Build();
    ASSERT_TRUE(Load(good));
    module_->Unload();

    const std::vector<std::function<void(Bytes&)>> edits = {
        [](Bytes& i) { EditSection(i, 1, [](pe::SectionHeader& s) { s.VirtualAddress = 0x1800; }); },
        [](Bytes& i) { EditSection(i, 0, [](pe::SectionHeader& s) { s.VirtualSize = 0x1001; }); },
        [](Bytes& i) { EditSection(i, 1, [](pe::SectionHeader& s) { s.VirtualAddress = 0x1000; }); },
        [](Bytes& i) { EditSection(i, 0, [](pe::SectionHeader& s) { s.VirtualAddress = 0x100; }); },  // headers
        [](Bytes& i) {
            EditSection(i, 1, [](pe::SectionHeader& s) {
                s.VirtualAddress = 0xFFFFF000;
                s.VirtualSize = 0x2000;
            });
        },
        [](Bytes& i) { EditSection(i, 1, [](pe::SectionHeader& s) { s.VirtualSize = 0xFFFFFFFF; }); },
        [](Bytes& i) { EditSection(i, 1, [](pe::SectionHeader& s) { s.VirtualAddress = 0x7FFFF000; }); },
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        Bytes image = good;
        edits[i](image);
        ExpectRefused(image);
    }
}

TEST_F(MappedModuleTest, AnEntryPointOutsideTheImageIsRefused) {
    PeBuilder b;
    const std::uint32_t data = b.AddSection(".data", Bytes(0x10, 0));
    b.EntryPoint(data + kSectionAlignment);
    ExpectRefused(b.Build());
    EXPECT_TRUE(system_.entry_calls.empty());
}

TEST_F(MappedModuleTest, CopyingStopsAtTheFirstSectionAtAddressZero) {
    PeBuilder b;
    const std::uint32_t a = b.AddSection(".a", Bytes(0x10, 1));
    const std::uint32_t c = b.AddSection(".c", Bytes(0x10, 3));
    Bytes image = b.Build();
    // The first section moves to address 0: nothing after it is copied.
    EditSection(image, 0, [](pe::SectionHeader& s) { s.VirtualAddress = 0; });
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(module_->Image()[c], 0);
    EXPECT_EQ(module_->Image()[a], 0);
    EXPECT_EQ(module_->Image()[0], 'M');
}

TEST_F(MappedModuleTest, AFailedReservationFailsTheLoad) {
    PortableModuleHost::Options options = system_.Options(false);
    options.fallback_address = 0xFFFFF000;  // no room below 4 GiB
    PortableModuleHost host(options);
    MappedModule module(host);
    EXPECT_FALSE(module.LoadFromMemory(PlainDll()));
    EXPECT_EQ(host.LiveRegions(), 0);
    EXPECT_TRUE(module.Sections().empty());
}

// --- the steps one by one ---

TEST(MappedModuleSteps, ImageSizeIsTheLargestAlignedSectionEnd) {
    PeBuilder b;
    b.AddSection(".a", Bytes(0x10, 1));
    b.AddSection(".bss", {}, 0x2345);  // no raw data, virtual size only
    Bytes image = b.Build();
    EditNt(image, [](pe::NtHeaders32& nt) { nt.OptionalHeader.SizeOfImage = 0x10; });  // not used
    PortableModuleHost host;
    MappedModule module(host);
    EXPECT_EQ(module.ComputeImageSize(), 0u);  // no headers yet
    ASSERT_TRUE(module.ParseHeaders(image));
    EXPECT_EQ(module.ComputeImageSize(), 0x5000u);                              // 0x2000 + 0x2345 aligned up to 0x3000
    EditSection(image, 1, [](pe::SectionHeader& s) { s.VirtualSize = 0x10; });  // raw size 0 is the smaller
    ASSERT_TRUE(module.ParseHeaders(image));
    EXPECT_EQ(module.ComputeImageSize(), 0x3000u);
    EditSection(image, 1, [](pe::SectionHeader& s) { s.VirtualSize = 64u << 20; });  // above the cap
    ASSERT_TRUE(module.ParseHeaders(image));
    EXPECT_EQ(module.ComputeImageSize(), 0u);
    EXPECT_FALSE(module.LoadFromMemory(image));
    EXPECT_EQ(host.LiveRegions(), 0);
}

TEST(MappedModuleSteps, AlignUp) {
    EXPECT_EQ(MappedModule::AlignUp(0, 0x1000), 0u);
    EXPECT_EQ(MappedModule::AlignUp(1, 0x1000), 0x1000u);
    EXPECT_EQ(MappedModule::AlignUp(0x1000, 0x1000), 0x1000u);
    EXPECT_EQ(MappedModule::AlignUp(0xFFFFFFFF, 0x80000000), 0x100000000u);
}

TEST(MappedModuleSteps, StepsRefuseBuffersTooSmallForTheImage) {
    Sample s;
    const Bytes image = SampleDll(&s);
    PortableModuleHost host;
    MappedModule module(host);
    Bytes mapped(0x1000);
    EXPECT_FALSE(module.CopySections(mapped, image));  // no headers parsed
    ASSERT_TRUE(module.ParseHeaders(image));
    EXPECT_FALSE(module.CopySections(mapped, image));
    mapped.resize(module.ComputeImageSize());
    EXPECT_FALSE(module.CopySections(mapped, Bytes(image.begin(), image.begin() + 0x300)));
    EXPECT_TRUE(module.CopySections(mapped, image));
    EXPECT_TRUE(module.ApplyRelocations(mapped, kDefaultImageBase + 0x10000));
    EXPECT_EQ(GetAt<std::uint32_t>(mapped, s.data), kDefaultImageBase + 0x10000 + s.text + 0x10);
    Bytes small(0x100);
    EXPECT_FALSE(module.ApplyRelocations(small, kDefaultImageBase));  // table outside the buffer
    EXPECT_FALSE(module.ResolveImports(mapped));                      // no callbacks: nothing found
}

TEST_F(MappedModuleTest, TheLoaderUsesItsOwnCopyOfTheHeadersNotTheMappedOne) {
    Sample s;
    ASSERT_TRUE(Load(SampleDll(&s)));
    // Code of the image may scribble over its own headers; exports and unload go on as validated at load.
    auto* mapped = const_cast<std::uint8_t*>(module_->Image().data());
    std::memset(mapped, 0xFF, module_->NtHeaders().OptionalHeader.SizeOfHeaders);
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes"), kDefaultImageBase + s.text + 0x10);
    EXPECT_EQ(module_->EntryAddress(), kDefaultImageBase + s.text);
    EXPECT_FALSE(module_->ParseHeaders(SampleDll()));  // records of a loaded image are not replaced
    EXPECT_EQ(module_->Sections().size(), 5u);
}

Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A DLL as a real linker makes it (tests/skin/data/mingw_skin.c) loads, links and is relocated.
TEST_F(MappedModuleTest, ALinkersDllLoadsAndIsRelocated) {
    const Bytes image = ReadBytes(std::filesystem::path(VANTREL_SOURCE_DIR) / "tests/skin/data/mingw_skin.dll");
    ASSERT_TRUE(Load(image));
    const std::uint32_t home = module_->NtHeaders().OptionalHeader.ImageBase;
    EXPECT_EQ(module_->BaseAddress(), home);
    EXPECT_EQ(module_->FindExport("SkinH_AttachRes@24"), home + 0x1000);
    EXPECT_EQ(module_->FindExport("Other"), home + 0x1030);
    EXPECT_EQ(system_.procedures, (std::vector<std::string>{"GetTickCount", "MessageBoxA"}));
    EXPECT_EQ(system_.entry_calls.at(0), std::make_tuple(home + 0x1060, home, pe::kDllProcessAttach));
    const Bytes at_home(module_->Image().begin(), module_->Image().end());
    module_->Unload();

    ASSERT_TRUE(Load(image, /*preferred_free=*/false));
    ASSERT_EQ(module_->Image().size(), at_home.size());
    // The six addresses the linker listed move with the image; no other byte changes.
    const std::uint32_t delta = kFallbackBase - home;
    Bytes expected = at_home;
    for (std::uint32_t rva : {0x1005u, 0x101Au, 0x103Fu, 0x1047u, 0x1054u, 0x1069u}) {
        PutAt<std::uint32_t>(expected, rva, GetAt<std::uint32_t>(at_home, rva) + delta);
    }
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), module_->Image().begin()));
    EXPECT_EQ(module_->FindExport("Other"), kFallbackBase + 0x1030);
}

// The fuzz target's seeds (written by pe_seed_generator, plus the linker's DLL) are images the loader takes.
TEST_F(MappedModuleTest, TheFuzzSeedsLoad) {
    const std::filesystem::path folder = std::filesystem::path(VANTREL_SOURCE_DIR) / "fuzz/seeds/pe_loader";
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_TRUE(Load(ReadBytes(entry.path()))) << entry.path();
        module_->Unload();
        ++seeds;
    }
    EXPECT_GE(seeds, 5);
}

}  // namespace
}  // namespace vantrel::testing
