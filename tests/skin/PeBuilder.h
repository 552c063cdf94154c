// Builds small 32-bit DLL images in memory for the loader's tests, the fuzz seeds and their generator.
//
// Sections are laid out in the order they are added, each at the next multiple of the section alignment
// (0x1000), so every Add* call knows its section's address and returns it. The headers are written by Build().
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "skin/PeFormat.h"

namespace vantrel::testing {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kNtOffset = 0x40;
inline constexpr std::uint32_t kSectionAlignment = 0x1000;
inline constexpr std::uint32_t kFileAlignment = 0x200;
inline constexpr std::uint32_t kDefaultImageBase = 0x10000000;

inline std::uint32_t AlignTo(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

template <class T>
void PutAt(Bytes& bytes, std::size_t offset, const T& value) {
    if (bytes.size() < offset + sizeof(T)) {
        bytes.resize(offset + sizeof(T));
    }
    std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

template <class T>
T GetAt(const Bytes& bytes, std::size_t offset) {
    T value{};
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        throw std::out_of_range("record outside the image");
    }
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

inline void PutText(Bytes& bytes, std::size_t offset, const std::string& text) {
    if (bytes.size() < offset + text.size() + 1) {
        bytes.resize(offset + text.size() + 1);
    }
    std::memcpy(bytes.data() + offset, text.c_str(), text.size() + 1);
}

// Changes records of a built image in place.
inline void EditDos(Bytes& image, const std::function<void(pe::DosHeader&)>& edit) {
    auto dos = GetAt<pe::DosHeader>(image, 0);
    edit(dos);
    PutAt(image, 0, dos);
}

inline void EditNt(Bytes& image, const std::function<void(pe::NtHeaders32&)>& edit) {
    auto nt = GetAt<pe::NtHeaders32>(image, kNtOffset);
    edit(nt);
    PutAt(image, kNtOffset, nt);
}

inline void EditSection(Bytes& image, std::size_t index, const std::function<void(pe::SectionHeader&)>& edit) {
    const std::size_t offset = kNtOffset + sizeof(pe::NtHeaders32) + index * sizeof(pe::SectionHeader);
    auto section = GetAt<pe::SectionHeader>(image, offset);
    edit(section);
    PutAt(image, offset, section);
}

// Where the byte at rva of a built image lies in the file (the image must have a section holding it).
inline std::size_t FileOffsetOf(const Bytes& image, std::uint32_t rva) {
    const auto nt = GetAt<pe::NtHeaders32>(image, kNtOffset);
    for (std::size_t i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        const auto section =
            GetAt<pe::SectionHeader>(image, kNtOffset + sizeof(pe::NtHeaders32) + i * sizeof(pe::SectionHeader));
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.SizeOfRawData) {
            return section.PointerToRawData + (rva - section.VirtualAddress);
        }
    }
    return rva < nt.OptionalHeader.SizeOfHeaders ? rva : image.size();
}

// Changes the record at rva of a built image in place.
template <class T>
void EditAt(Bytes& image, std::uint32_t rva, const std::function<void(T&)>& edit) {
    const std::size_t offset = FileOffsetOf(image, rva);
    auto record = GetAt<T>(image, offset);
    edit(record);
    PutAt(image, offset, record);
}

struct Export {
    std::string name;
    std::uint32_t rva = 0;  // the function
    std::string forward;    // when set: a forwarder export ("MODULE.Name") instead of rva
};

struct ImportedModule {
    std::string name;
    std::vector<std::variant<std::string, std::uint16_t>> functions;  // by name or by ordinal
};

struct Relocation {
    std::uint32_t rva = 0;
    std::uint16_t type = pe::kRelocationHighLow;
};

class PeBuilder {
public:
    explicit PeBuilder(std::uint32_t image_base = kDefaultImageBase) : image_base_(image_base) {}

    PeBuilder& EntryPoint(std::uint32_t rva) {
        entry_point_ = rva;
        return *this;
    }
    PeBuilder& Characteristics(std::uint16_t value) {
        characteristics_ = value;
        return *this;
    }
    // Moves the first section up, for images whose headers need more than one page. Call before adding any.
    PeBuilder& FirstSectionAt(std::uint32_t rva) {
        next_rva_ = rva;
        return *this;
    }
    std::uint32_t ImageBase() const { return image_base_; }
    // Where the next section will start.
    std::uint32_t NextRva() const { return next_rva_; }

    // A section holding data (zero-filled up to virtual_size when that is larger); returns its address.
    std::uint32_t AddSection(const std::string& name, Bytes data, std::uint32_t virtual_size = 0) {
        Section section{name, next_rva_, std::max<std::uint32_t>(virtual_size, data.size()), std::move(data)};
        next_rva_ += AlignTo(std::max<std::uint32_t>(section.virtual_size, 1), kSectionAlignment);
        sections_.push_back(std::move(section));
        return sections_.back().rva;
    }

    // An export table section; names are stored in alphabetical order as linkers do.
    std::uint32_t AddExports(std::vector<Export> exports, const std::string& dll_name = "TEST.dll") {
        std::sort(exports.begin(), exports.end(), [](const Export& a, const Export& b) { return a.name < b.name; });
        const std::uint32_t rva = next_rva_;
        const auto n = static_cast<std::uint32_t>(exports.size());
        const std::uint32_t functions = sizeof(pe::ExportDirectory);
        const std::uint32_t names = functions + 4 * n;
        const std::uint32_t ordinals = names + 4 * n;
        std::uint32_t text = ordinals + 2 * n;
        Bytes data;
        pe::ExportDirectory directory{};
        directory.Base = 1;
        directory.NumberOfFunctions = n;
        directory.NumberOfNames = n;
        directory.AddressOfFunctions = rva + functions;
        directory.AddressOfNames = rva + names;
        directory.AddressOfNameOrdinals = rva + ordinals;
        directory.Name = rva + text;
        PutText(data, text, dll_name);
        text += static_cast<std::uint32_t>(dll_name.size()) + 1;
        for (std::uint32_t i = 0; i < n; ++i) {
            PutAt<std::uint32_t>(data, names + 4 * i, rva + text);
            PutText(data, text, exports[i].name);
            text += static_cast<std::uint32_t>(exports[i].name.size()) + 1;
            PutAt<std::uint16_t>(data, ordinals + 2 * i, static_cast<std::uint16_t>(i));
            std::uint32_t function = exports[i].rva;
            if (!exports[i].forward.empty()) {
                function = rva + text;
                PutText(data, text, exports[i].forward);
                text += static_cast<std::uint32_t>(exports[i].forward.size()) + 1;
            }
            PutAt<std::uint32_t>(data, functions + 4 * i, function);
        }
        PutAt(data, 0, directory);
        directories_[pe::kDirectoryExport] = {rva, static_cast<std::uint32_t>(data.size())};
        return AddSection(".edata", std::move(data));
    }

    // An import table section. ImportSlot(m, f) afterwards gives the address of function f's table entry.
    std::uint32_t AddImports(const std::vector<ImportedModule>& modules) {
        const std::uint32_t rva = next_rva_;
        Bytes data;
        std::uint32_t position = static_cast<std::uint32_t>((modules.size() + 1) * sizeof(pe::ImportDescriptor));
        std::vector<pe::ImportDescriptor> descriptors(modules.size());
        slots_.assign(modules.size(), {});
        for (std::size_t m = 0; m < modules.size(); ++m) {
            descriptors[m].FirstThunk = rva + position;
            for (std::size_t f = 0; f < modules[m].functions.size(); ++f) {
                slots_[m].push_back(rva + position);
                position += 4;
            }
            position += 4;  // the terminating zero entry
        }
        for (std::size_t m = 0; m < modules.size(); ++m) {
            for (std::size_t f = 0; f < modules[m].functions.size(); ++f) {
                std::uint32_t entry = 0;
                if (const auto* ordinal = std::get_if<std::uint16_t>(&modules[m].functions[f])) {
                    entry = pe::kImportByOrdinal | *ordinal;
                } else {
                    const auto& name = std::get<std::string>(modules[m].functions[f]);
                    entry = rva + position;
                    PutAt<std::uint16_t>(data, position, 0);  // hint
                    PutText(data, position + 2, name);
                    position += AlignTo(static_cast<std::uint32_t>(2 + name.size() + 1), 2);
                }
                PutAt(data, slots_[m][f] - rva, entry);
            }
            descriptors[m].Name = rva + position;
            PutText(data, position, modules[m].name);
            position += static_cast<std::uint32_t>(modules[m].name.size()) + 1;
        }
        for (std::size_t m = 0; m < descriptors.size(); ++m) {
            PutAt(data, m * sizeof(pe::ImportDescriptor), descriptors[m]);
        }
        PutAt(data, descriptors.size() * sizeof(pe::ImportDescriptor), pe::ImportDescriptor{});
        directories_[pe::kDirectoryImport] = {rva, static_cast<std::uint32_t>(data.size())};
        return AddSection(".idata", std::move(data));
    }
    std::uint32_t ImportSlot(std::size_t module, std::size_t function) const { return slots_.at(module).at(function); }

    // A base relocation section: one block per 4 KiB page, padded with an absolute entry to a 4-byte size.
    std::uint32_t AddRelocations(std::vector<Relocation> relocations) {
        std::stable_sort(relocations.begin(), relocations.end(),
                         [](const Relocation& a, const Relocation& b) { return (a.rva >> 12) < (b.rva >> 12); });
        Bytes data;
        for (std::size_t i = 0; i < relocations.size();) {
            const std::uint32_t page = relocations[i].rva & ~0xFFFu;
            std::vector<std::uint16_t> entries;
            for (; i < relocations.size() && (relocations[i].rva & ~0xFFFu) == page; ++i) {
                entries.push_back(static_cast<std::uint16_t>(relocations[i].type << 12 | (relocations[i].rva & 0xFFF)));
            }
            if (entries.size() % 2 != 0) {
                entries.push_back(0);
            }
            const std::size_t start = data.size();
            PutAt(data, start, pe::RelocationBlock{page, static_cast<std::uint32_t>(8 + 2 * entries.size())});
            for (std::size_t e = 0; e < entries.size(); ++e) {
                PutAt(data, start + 8 + 2 * e, entries[e]);
            }
        }
        directories_[pe::kDirectoryBaseRelocation] = {next_rva_, static_cast<std::uint32_t>(data.size())};
        return AddSection(".reloc", std::move(data));
    }

    // The file: headers, then each section's raw data at the next multiple of the file alignment.
    Bytes Build() const {
        const std::uint32_t table = kNtOffset + sizeof(pe::NtHeaders32);
        const std::uint32_t header_size =
            AlignTo(table + static_cast<std::uint32_t>(sections_.size() * sizeof(pe::SectionHeader)), kFileAlignment);
        Bytes image(header_size, 0);

        pe::DosHeader dos{};
        dos.e_magic = pe::kDosMagic;
        dos.e_lfanew = kNtOffset;
        PutAt(image, 0, dos);

        pe::NtHeaders32 nt{};
        nt.Signature = pe::kNtSignature;
        nt.FileHeader.Machine = 0x014C;  // i386
        nt.FileHeader.NumberOfSections = static_cast<std::uint16_t>(sections_.size());
        nt.FileHeader.SizeOfOptionalHeader = pe::kOptionalHeader32Size;
        nt.FileHeader.Characteristics = characteristics_;
        auto& optional = nt.OptionalHeader;
        optional.Magic = 0x010B;
        optional.AddressOfEntryPoint = entry_point_;
        optional.ImageBase = image_base_;
        optional.SectionAlignment = kSectionAlignment;
        optional.FileAlignment = kFileAlignment;
        optional.SizeOfImage = next_rva_;
        optional.SizeOfHeaders = header_size;
        optional.NumberOfRvaAndSizes = pe::kDirectoryCount;
        for (const auto& [index, directory] : directories_) {
            optional.DataDirectory[index] = directory;
        }
        PutAt(image, kNtOffset, nt);

        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const Section& s = sections_[i];
            pe::SectionHeader header{};
            std::memcpy(header.Name, s.name.data(), std::min<std::size_t>(s.name.size(), 8));
            header.VirtualSize = s.virtual_size;
            header.VirtualAddress = s.rva;
            header.SizeOfRawData = AlignTo(static_cast<std::uint32_t>(s.data.size()), kFileAlignment);
            header.PointerToRawData = header.SizeOfRawData == 0 ? 0 : static_cast<std::uint32_t>(image.size());
            header.Characteristics = 0xE0000060;  // code, data, read, write, execute
            PutAt(image, table + i * sizeof(pe::SectionHeader), header);
            Bytes raw = s.data;
            raw.resize(header.SizeOfRawData, 0);
            image.insert(image.end(), raw.begin(), raw.end());
        }
        return image;
    }

private:
    struct Section {
        std::string name;
        std::uint32_t rva;
        std::uint32_t virtual_size;
        Bytes data;
    };

    std::uint32_t image_base_;
    std::uint32_t entry_point_ = 0;
    std::uint16_t characteristics_ = 0x2102;  // DLL, 32-bit machine, executable image
    std::uint32_t next_rva_ = kSectionAlignment;
    std::vector<Section> sections_;
    std::map<std::size_t, pe::DataDirectory> directories_;
    std::vector<std::vector<std::uint32_t>> slots_;
};

}  // namespace vantrel::testing
