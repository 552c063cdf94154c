// Records of the 32-bit PE (Portable Executable) format, laid out byte for byte as in the file, so that a
// record is filled with one memcpy from checked bytes. All values are little-endian, as on every host we build.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vantrel::pe {

static_assert(std::endian::native == std::endian::little, "PE records are read by memcpy: little-endian hosts only");

inline constexpr std::uint16_t kDosMagic = 0x5A4D;         // "MZ"
inline constexpr std::uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
inline constexpr std::uint16_t kFileExecutableImage = 0x0002;
inline constexpr std::uint16_t kFileDll = 0x2000;
inline constexpr std::uint16_t kOptionalHeader32Size = 224;

inline constexpr std::size_t kDirectoryCount = 16;
inline constexpr std::size_t kDirectoryExport = 0;
inline constexpr std::size_t kDirectoryImport = 1;
inline constexpr std::size_t kDirectoryBaseRelocation = 5;

inline constexpr std::uint16_t kRelocationAbsolute = 0;  // padding entry, nothing to patch
inline constexpr std::uint16_t kRelocationHighLow = 3;   // 32-bit absolute address
inline constexpr std::uint32_t kImportByOrdinal = 0x80000000;

inline constexpr std::uint32_t kDllProcessDetach = 0;
inline constexpr std::uint32_t kDllProcessAttach = 1;

struct DosHeader {
    std::uint16_t e_magic;
    std::uint16_t e_cblp;
    std::uint16_t e_cp;
    std::uint16_t e_crlc;
    std::uint16_t e_cparhdr;
    std::uint16_t e_minalloc;
    std::uint16_t e_maxalloc;
    std::uint16_t e_ss;
    std::uint16_t e_sp;
    std::uint16_t e_csum;
    std::uint16_t e_ip;
    std::uint16_t e_cs;
    std::uint16_t e_lfarlc;
    std::uint16_t e_ovno;
    std::uint16_t e_res[4];
    std::uint16_t e_oemid;
    std::uint16_t e_oeminfo;
    std::uint16_t e_res2[10];
    std::uint32_t e_lfanew;  // unsigned: a "negative" offset is simply too large
};

struct FileHeader {
    std::uint16_t Machine;
    std::uint16_t NumberOfSections;
    std::uint32_t TimeDateStamp;
    std::uint32_t PointerToSymbolTable;
    std::uint32_t NumberOfSymbols;
    std::uint16_t SizeOfOptionalHeader;
    std::uint16_t Characteristics;
};

struct DataDirectory {
    std::uint32_t VirtualAddress;
    std::uint32_t Size;
};

struct OptionalHeader32 {
    std::uint16_t Magic;
    std::uint8_t MajorLinkerVersion;
    std::uint8_t MinorLinkerVersion;
    std::uint32_t SizeOfCode;
    std::uint32_t SizeOfInitializedData;
    std::uint32_t SizeOfUninitializedData;
    std::uint32_t AddressOfEntryPoint;
    std::uint32_t BaseOfCode;
    std::uint32_t BaseOfData;
    std::uint32_t ImageBase;
    std::uint32_t SectionAlignment;
    std::uint32_t FileAlignment;
    std::uint16_t MajorOperatingSystemVersion;
    std::uint16_t MinorOperatingSystemVersion;
    std::uint16_t MajorImageVersion;
    std::uint16_t MinorImageVersion;
    std::uint16_t MajorSubsystemVersion;
    std::uint16_t MinorSubsystemVersion;
    std::uint32_t Win32VersionValue;
    std::uint32_t SizeOfImage;
    std::uint32_t SizeOfHeaders;
    std::uint32_t CheckSum;
    std::uint16_t Subsystem;
    std::uint16_t DllCharacteristics;
    std::uint32_t SizeOfStackReserve;
    std::uint32_t SizeOfStackCommit;
    std::uint32_t SizeOfHeapReserve;
    std::uint32_t SizeOfHeapCommit;
    std::uint32_t LoaderFlags;
    std::uint32_t NumberOfRvaAndSizes;
    pe::DataDirectory DataDirectory[kDirectoryCount];
};

struct NtHeaders32 {
    std::uint32_t Signature;
    pe::FileHeader FileHeader;
    pe::OptionalHeader32 OptionalHeader;
};

struct SectionHeader {
    std::uint8_t Name[8];
    std::uint32_t VirtualSize;
    std::uint32_t VirtualAddress;
    std::uint32_t SizeOfRawData;
    std::uint32_t PointerToRawData;
    std::uint32_t PointerToRelocations;
    std::uint32_t PointerToLinenumbers;
    std::uint16_t NumberOfRelocations;
    std::uint16_t NumberOfLinenumbers;
    std::uint32_t Characteristics;
};

struct ImportDescriptor {
    std::uint32_t OriginalFirstThunk;
    std::uint32_t TimeDateStamp;
    std::uint32_t ForwarderChain;
    std::uint32_t Name;
    std::uint32_t FirstThunk;
};

struct ExportDirectory {
    std::uint32_t Characteristics;
    std::uint32_t TimeDateStamp;
    std::uint16_t MajorVersion;
    std::uint16_t MinorVersion;
    std::uint32_t Name;
    std::uint32_t Base;
    std::uint32_t NumberOfFunctions;
    std::uint32_t NumberOfNames;
    std::uint32_t AddressOfFunctions;
    std::uint32_t AddressOfNames;
    std::uint32_t AddressOfNameOrdinals;
};

struct RelocationBlock {
    std::uint32_t VirtualAddress;
    std::uint32_t SizeOfBlock;
};

static_assert(sizeof(DosHeader) == 64);
static_assert(offsetof(DosHeader, e_lfanew) == 60);
static_assert(sizeof(FileHeader) == 20);
static_assert(sizeof(OptionalHeader32) == kOptionalHeader32Size);
static_assert(offsetof(OptionalHeader32, DataDirectory) == 96);
static_assert(sizeof(NtHeaders32) == 248);
static_assert(offsetof(NtHeaders32, OptionalHeader) == 24);
static_assert(sizeof(SectionHeader) == 40);
static_assert(sizeof(ImportDescriptor) == 20);
static_assert(sizeof(ExportDirectory) == 40);
static_assert(sizeof(RelocationBlock) == 8);

}  // namespace vantrel::pe
