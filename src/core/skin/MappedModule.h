// MappedModule: maps a 32-bit Windows DLL from a block of bytes, without a file and without the system loader.
// It checks the headers, reserves memory for the image (at its preferred base, else anywhere), copies headers and
// sections, applies base relocations, resolves imports, runs the entry point and then finds exports by name.
//
// The bytes are treated as untrusted: a malformed or hostile image is refused (or survived) without reading or
// writing outside the given bytes or the mapped image, without endless loops and without reserving more than
// kMaxImageSize. Besides "MZ", "PE\0\0", the executable flag, a 224-byte optional header and section raw data
// inside the bytes, an image must have: power-of-two alignments with SectionAlignment >= FileAlignment; at most
// kMaxSections sections, their table inside SizeOfHeaders and SizeOfHeaders inside the bytes; copied sections
// that overlap neither each other nor the headers; an entry point inside the image when it is to be called;
// relocation blocks of 8 bytes or more inside their directory, with 32-bit absolute (or padding) entries whose
// targets lie inside the image; import descriptors, tables and names (zero-terminated) inside the image.
// Directories past NumberOfRvaAndSizes count as absent. An export whose ordinal index is outside the function
// table, whose address lies outside the image, or which forwards to another module, is not found.
// After mapping, the loader uses only its own validated copy of the headers, never the header bytes inside the
// (writable) image.
//
// Everything the platform does goes through a ModuleHost. Not thread-safe; used on the UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "skin/ModuleHost.h"
#include "skin/PeFormat.h"

namespace vantrel {

class MappedModule {
public:
    // Largest image (headers and sections, section-aligned) that is mapped.
    static constexpr std::uint64_t kMaxImageSize = 64u << 20;
    // Largest section count accepted (the Windows loader's own limit).
    static constexpr std::uint16_t kMaxSections = 96;

    explicit MappedModule(ModuleHost& host = DefaultModuleHost()) : host_(host) {}
    // Frees the header records only: a loaded image stays mapped, since its code may still be in use.
    ~MappedModule() = default;
    MappedModule(const MappedModule&) = delete;
    MappedModule& operator=(const MappedModule&) = delete;

    // Maps, relocates, links and starts the image. False (with nothing allocated and the object empty) when the
    // image is refused or any step fails, and when a module is already loaded (which then stays as it is).
    bool LoadFromMemory(std::span<const std::uint8_t> image);
    // Detach call of the entry point, then the memory is released; nothing happens when nothing is loaded.
    void Unload();
    // Address of the export with exactly this name (case-sensitive), or 0: nothing loaded, no such name, an index
    // outside the function table, or a forwarder export.
    std::uint32_t FindExport(const char* name) const;
    // base + AddressOfEntryPoint, or 0 when nothing is loaded.
    std::uint32_t EntryAddress() const;
    // Address of the loaded image, 0 when nothing is loaded.
    std::uint32_t BaseAddress() const { return region_.address; }
    // The mapped image bytes (empty when nothing is loaded).
    std::span<const std::uint8_t> Image() const { return {region_.memory, region_.size}; }

    // Header records: valid after a successful ParseHeaders, zero otherwise.
    const pe::DosHeader& DosHeader() const { return dos_; }
    const pe::NtHeaders32& NtHeaders() const { return nt_; }
    const std::vector<pe::SectionHeader>& Sections() const { return sections_; }

    // The load steps, each safe to call on its own; every one works from the header records.
    //
    // Reads and validates the headers of image into the records; on failure the records are cleared. Refused
    // while an image is loaded (the records belong to it).
    bool ParseHeaders(std::span<const std::uint8_t> image);
    // Bytes the mapped image needs (headers and every section, each aligned up to SectionAlignment); 0 when
    // there are no valid records or the size is above kMaxImageSize.
    std::size_t ComputeImageSize() const;
    // The smallest multiple of alignment (a power of two) that is not below value.
    static std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment);
    // Copies the headers and the sections of image into mapped; false when either is too small for them.
    bool CopySections(std::span<std::uint8_t> mapped, std::span<const std::uint8_t> image) const;
    // Adds address - ImageBase to every 32-bit absolute relocation target; false on a malformed block, a
    // target outside the image or a relocation type other than absolute (padding) and 32-bit absolute.
    bool ApplyRelocations(std::span<std::uint8_t> mapped, std::uint32_t address) const;
    // Writes the address of every imported procedure over its import table entry; false when a descriptor,
    // name or table lies outside mapped, or a module or procedure is not found.
    bool ResolveImports(std::span<std::uint8_t> mapped) const;

private:
    // The data directory at index, or a zero one when the header says it has fewer directories.
    pe::DataDirectory Directory(std::size_t index) const;
    bool HasEntryCall() const;
    void Clear();

    ModuleHost& host_;
    ImageRegion region_;
    pe::DosHeader dos_{};
    pe::NtHeaders32 nt_{};
    std::vector<pe::SectionHeader> sections_;
};

}  // namespace vantrel
