#include "skin/MappedModule.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace vantrel {
namespace {

// Every offset and size is widened to 64 bits before any arithmetic, so nothing below can wrap.
constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;

// True when [offset, offset + size) lies inside a block of length bytes.
constexpr bool InRange(std::uint64_t offset, std::uint64_t size, std::uint64_t length) {
    return size <= length && offset <= length - size;
}

// Copies the record at offset out of bytes; false when it does not lie wholly inside them.
template <class T>
bool ReadRecord(std::span<const std::uint8_t> bytes, std::uint64_t offset, T& out) {
    if (!InRange(offset, sizeof(T), bytes.size())) {
        return false;
    }
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

// The zero-terminated text at offset, or nullptr when it starts or ends outside bytes.
const char* TextAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    if (offset >= bytes.size()) {
        return nullptr;
    }
    const auto* start = bytes.data() + offset;
    if (std::memchr(start, 0, bytes.size() - offset) == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(start);
}

}  // namespace

std::uint64_t MappedModule::AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

pe::DataDirectory MappedModule::Directory(std::size_t index) const {
    if (index >= pe::kDirectoryCount || index >= nt_.OptionalHeader.NumberOfRvaAndSizes) {
        return {};
    }
    return nt_.OptionalHeader.DataDirectory[index];
}

bool MappedModule::HasEntryCall() const {
    return (nt_.FileHeader.Characteristics & pe::kFileDll) != 0 && nt_.OptionalHeader.AddressOfEntryPoint != 0;
}

void MappedModule::Clear() {
    dos_ = {};
    nt_ = {};
    sections_.clear();
}

bool MappedModule::ParseHeaders(std::span<const std::uint8_t> image) {
    if (region_) {
        return false;  // the records belong to the loaded image
    }
    Clear();
    pe::DosHeader dos{};
    pe::NtHeaders32 nt{};
    if (!ReadRecord(image, 0, dos) || dos.e_magic != pe::kDosMagic) {
        return false;
    }
    const std::uint64_t nt_offset = dos.e_lfanew;
    if (!ReadRecord(image, nt_offset, nt) || nt.Signature != pe::kNtSignature) {
        return false;
    }
    const pe::FileHeader& file = nt.FileHeader;
    const pe::OptionalHeader32& optional = nt.OptionalHeader;
    if ((file.Characteristics & pe::kFileExecutableImage) == 0 ||
        file.SizeOfOptionalHeader != pe::kOptionalHeader32Size) {
        return false;
    }
    if (!std::has_single_bit(optional.SectionAlignment) || !std::has_single_bit(optional.FileAlignment) ||
        optional.SectionAlignment < optional.FileAlignment) {
        return false;
    }
    // The section table follows the NT headers and must lie inside the headers, which lie inside the bytes.
    const std::uint64_t table_offset = nt_offset + sizeof(pe::NtHeaders32);
    const std::uint64_t table_size = std::uint64_t{file.NumberOfSections} * sizeof(pe::SectionHeader);
    if (file.NumberOfSections > kMaxSections || optional.SizeOfHeaders > image.size() ||
        !InRange(table_offset, table_size, optional.SizeOfHeaders)) {
        return false;
    }
    std::vector<pe::SectionHeader> sections(file.NumberOfSections);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        pe::SectionHeader& section = sections[i];
        std::memcpy(&section, image.data() + table_offset + i * sizeof(pe::SectionHeader), sizeof(section));
        if (!InRange(section.PointerToRawData, section.SizeOfRawData, image.size())) {
            return false;
        }
    }

    // The sections that get copied (those before the first one at address 0) must not overlap each other or
    // the headers.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;
    for (const pe::SectionHeader& section : sections) {
        if (section.VirtualAddress == 0) {
            break;
        }
        const std::uint64_t length =
            AlignUp(std::max(section.VirtualSize, section.SizeOfRawData), optional.SectionAlignment);
        if (length > 0) {
            extents.emplace_back(section.VirtualAddress, std::uint64_t{section.VirtualAddress} + length);
        }
    }
    std::sort(extents.begin(), extents.end());
    std::uint64_t used_up_to = optional.SizeOfHeaders;
    for (const auto& [start, end] : extents) {
        if (start < used_up_to) {
            return false;
        }
        used_up_to = end;
    }

    dos_ = dos;
    nt_ = nt;
    sections_ = std::move(sections);
    return true;
}

std::size_t MappedModule::ComputeImageSize() const {
    const std::uint64_t alignment = nt_.OptionalHeader.SectionAlignment;
    if (nt_.Signature != pe::kNtSignature || !std::has_single_bit(alignment)) {
        return 0;
    }
    std::uint64_t size = AlignUp(nt_.OptionalHeader.SizeOfHeaders, alignment);
    for (const pe::SectionHeader& section : sections_) {
        const std::uint64_t length = AlignUp(std::max(section.VirtualSize, section.SizeOfRawData), alignment);
        size = std::max(size, section.VirtualAddress + length);
    }
    return size <= kMaxImageSize ? static_cast<std::size_t>(size) : 0;
}

bool MappedModule::CopySections(std::span<std::uint8_t> mapped, std::span<const std::uint8_t> image) const {
    const std::size_t size = ComputeImageSize();
    const std::uint64_t header_size = nt_.OptionalHeader.SizeOfHeaders;
    if (size == 0 || mapped.size() < size || header_size > image.size()) {
        return false;
    }
    std::memcpy(mapped.data(), image.data(), header_size);
    for (const pe::SectionHeader& section : sections_) {
        if (section.VirtualAddress == 0) {
            break;
        }
        if (section.SizeOfRawData == 0) {
            continue;  // stays zeroed
        }
        if (!InRange(section.PointerToRawData, section.SizeOfRawData, image.size()) ||
            !InRange(section.VirtualAddress, section.SizeOfRawData, mapped.size())) {
            return false;
        }
        std::memcpy(mapped.data() + section.VirtualAddress, image.data() + section.PointerToRawData,
                    section.SizeOfRawData);
    }
    return true;
}

bool MappedModule::ApplyRelocations(std::span<std::uint8_t> mapped, std::uint32_t address) const {
    const pe::DataDirectory directory = Directory(pe::kDirectoryBaseRelocation);
    if (directory.Size == 0) {
        return true;
    }
    if (!InRange(directory.VirtualAddress, directory.Size, mapped.size())) {
        return false;
    }
    const std::uint32_t delta = address - nt_.OptionalHeader.ImageBase;  // wraps, as the CPU's addition does
    const std::uint64_t end = std::uint64_t{directory.VirtualAddress} + directory.Size;
    std::uint64_t position = directory.VirtualAddress;
    while (end - position >= sizeof(pe::RelocationBlock)) {
        pe::RelocationBlock block{};
        std::memcpy(&block, mapped.data() + position, sizeof(block));
        if (block.VirtualAddress == 0) {
            break;
        }
        if (block.SizeOfBlock < sizeof(block) || block.SizeOfBlock > end - position) {
            return false;
        }
        const std::uint64_t entries = (block.SizeOfBlock - sizeof(block)) / 2;
        for (std::uint64_t i = 0; i < entries; ++i) {
            std::uint16_t entry = 0;
            std::memcpy(&entry, mapped.data() + position + sizeof(block) + 2 * i, sizeof(entry));
            const std::uint16_t type = entry >> 12;
            if (type == pe::kRelocationAbsolute) {
                continue;
            }
            const std::uint64_t target = std::uint64_t{block.VirtualAddress} + (entry & 0x0FFFu);
            if (type != pe::kRelocationHighLow || !InRange(target, sizeof(std::uint32_t), mapped.size())) {
                return false;
            }
            std::uint32_t value = 0;
            std::memcpy(&value, mapped.data() + target, sizeof(value));
            value += delta;
            std::memcpy(mapped.data() + target, &value, sizeof(value));
        }
        position += block.SizeOfBlock;
    }
    return true;
}

bool MappedModule::ResolveImports(std::span<std::uint8_t> mapped) const {
    const pe::DataDirectory directory = Directory(pe::kDirectoryImport);
    if (directory.VirtualAddress == 0) {
        return true;
    }
    // Both walks move forward by a whole record each time and stop at the end of the image at the latest.
    for (std::uint64_t position = directory.VirtualAddress;; position += sizeof(pe::ImportDescriptor)) {
        pe::ImportDescriptor descriptor{};
        if (!ReadRecord(mapped, position, descriptor)) {
            return false;
        }
        if (descriptor.FirstThunk == 0) {
            return true;
        }
        const char* module_name = TextAt(mapped, descriptor.Name);
        if (module_name == nullptr) {
            return false;
        }
        HostModule module = host_.FindModule(module_name);
        if (module == 0) {
            module = host_.LoadModule(module_name);
        }
        if (module == 0) {
            return false;
        }
        for (std::uint64_t thunk = descriptor.FirstThunk;; thunk += sizeof(std::uint32_t)) {
            std::uint32_t entry = 0;
            if (!ReadRecord(mapped, thunk, entry)) {
                return false;
            }
            if (entry == 0) {
                break;
            }
            std::uint32_t procedure = 0;
            if ((entry & pe::kImportByOrdinal) != 0) {
                procedure = host_.FindProcedure(module, static_cast<std::uint16_t>(entry & 0xFFFFu));
            } else {
                const char* name = TextAt(mapped, std::uint64_t{entry} + 2);  // after the 2-byte hint
                if (name == nullptr) {
                    return false;
                }
                procedure = host_.FindProcedure(module, name);
            }
            if (procedure == 0) {
                return false;
            }
            std::memcpy(mapped.data() + thunk, &procedure, sizeof(procedure));
        }
    }
}

bool MappedModule::LoadFromMemory(std::span<const std::uint8_t> image) {
    if (region_) {
        return false;
    }
    if (!ParseHeaders(image)) {
        return false;
    }
    const std::size_t size = ComputeImageSize();
    if (size == 0 || (HasEntryCall() && nt_.OptionalHeader.AddressOfEntryPoint >= size)) {
        Clear();
        return false;
    }
    ImageRegion region = host_.ReserveAt(nt_.OptionalHeader.ImageBase, size);
    if (!region) {
        region = host_.ReserveAnywhere(size);
    }
    if (!region) {
        Clear();
        return false;
    }
    const std::span<std::uint8_t> mapped(region.memory, size);
    bool ok = region.size >= size && region.address != 0 && region.address + std::uint64_t{size} <= kAddressSpace &&
              CopySections(mapped, image) && ApplyRelocations(mapped, region.address) && ResolveImports(mapped);
    if (ok && HasEntryCall()) {
        const std::uint32_t entry = region.address + nt_.OptionalHeader.AddressOfEntryPoint;
        if (!host_.CallEntryPoint(entry, region.address, pe::kDllProcessAttach)) {
            host_.CallEntryPoint(entry, region.address, pe::kDllProcessDetach);
            ok = false;
        }
    }
    if (!ok) {
        host_.Release(region);
        Clear();
        return false;
    }
    region_ = region;
    return true;
}

void MappedModule::Unload() {
    if (!region_) {
        return;
    }
    if (HasEntryCall()) {
        host_.CallEntryPoint(EntryAddress(), region_.address, pe::kDllProcessDetach);
    }
    host_.Release(region_);
    region_ = {};
    Clear();
}

std::uint32_t MappedModule::EntryAddress() const {
    if (!region_ || nt_.OptionalHeader.AddressOfEntryPoint >= region_.size) {
        return 0;
    }
    return region_.address + nt_.OptionalHeader.AddressOfEntryPoint;
}

std::uint32_t MappedModule::FindExport(const char* name) const {
    const pe::DataDirectory directory = Directory(pe::kDirectoryExport);
    if (!region_ || name == nullptr || directory.VirtualAddress == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> image = Image();
    pe::ExportDirectory exports{};
    if (!ReadRecord(image, directory.VirtualAddress, exports)) {
        return 0;
    }
    const std::uint64_t names = exports.NumberOfNames;
    const std::uint64_t functions = exports.NumberOfFunctions;
    if (!InRange(exports.AddressOfNames, names * 4, image.size()) ||
        !InRange(exports.AddressOfNameOrdinals, names * 2, image.size()) ||
        !InRange(exports.AddressOfFunctions, functions * 4, image.size())) {
        return 0;
    }
    for (std::uint64_t i = 0; i < names; ++i) {
        std::uint32_t name_rva = 0;
        std::memcpy(&name_rva, image.data() + exports.AddressOfNames + 4 * i, sizeof(name_rva));
        const char* candidate = TextAt(image, name_rva);
        if (candidate == nullptr || std::strcmp(candidate, name) != 0) {
            continue;
        }
        std::uint16_t index = 0;
        std::memcpy(&index, image.data() + exports.AddressOfNameOrdinals + 2 * i, sizeof(index));
        if (index >= functions) {
            return 0;
        }
        std::uint32_t rva = 0;
        std::memcpy(&rva, image.data() + exports.AddressOfFunctions + 4 * std::uint64_t{index}, sizeof(rva));
        const bool forwarder = rva >= directory.VirtualAddress && rva - directory.VirtualAddress < directory.Size;
        if (forwarder || rva == 0 || rva >= image.size()) {
            return 0;
        }
        return region_.address + rva;
    }
    return 0;
}

}  // namespace vantrel
