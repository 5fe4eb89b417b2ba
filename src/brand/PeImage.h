// A PE32+ image (a 64-bit Windows executable) as its file holds it: the
// headers as the PE/COFF format names them, the section table, and the
// whole file's bytes. Reading checks that every header and section the
// tool uses lies inside the file.
#ifndef TARVIK_BRAND_PEIMAGE_H
#define TARVIK_BRAND_PEIMAGE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {
namespace brand {

constexpr uint16_t IMAGE_DOS_SIGNATURE = 0x5A4D;      // "MZ"
constexpr uint32_t IMAGE_NT_SIGNATURE = 0x00004550;   // "PE\0\0"
constexpr uint16_t IMAGE_NT_OPTIONAL_HDR32_MAGIC = 0x10B;
constexpr uint16_t IMAGE_NT_OPTIONAL_HDR64_MAGIC = 0x20B;
constexpr size_t IMAGE_NUMBEROF_DIRECTORY_ENTRIES = 16;
constexpr size_t IMAGE_DIRECTORY_ENTRY_RESOURCE = 2;
constexpr size_t IMAGE_DIRECTORY_ENTRY_SECURITY = 4;
constexpr size_t IMAGE_SIZEOF_SHORT_NAME = 8;
constexpr uint32_t IMAGE_SCN_CNT_INITIALIZED_DATA = 0x00000040;
constexpr uint32_t IMAGE_SCN_MEM_READ = 0x40000000;

struct IMAGE_DOS_HEADER {
  uint16_t e_magic, e_cblp, e_cp, e_crlc, e_cparhdr, e_minalloc, e_maxalloc,
      e_ss, e_sp, e_csum, e_ip, e_cs, e_lfarlc, e_ovno;
  uint16_t e_res[4];
  uint16_t e_oemid, e_oeminfo;
  uint16_t e_res2[10];
  uint32_t e_lfanew;
};

struct IMAGE_FILE_HEADER {
  uint16_t Machine;
  uint16_t NumberOfSections;
  uint32_t TimeDateStamp;
  uint32_t PointerToSymbolTable;
  uint32_t NumberOfSymbols;
  uint16_t SizeOfOptionalHeader;
  uint16_t Characteristics;
};

struct IMAGE_DATA_DIRECTORY {
  uint32_t VirtualAddress;
  uint32_t Size;
};

struct IMAGE_OPTIONAL_HEADER64 {
  uint16_t Magic;
  uint8_t MajorLinkerVersion, MinorLinkerVersion;
  uint32_t SizeOfCode, SizeOfInitializedData, SizeOfUninitializedData;
  uint32_t AddressOfEntryPoint, BaseOfCode;
  uint64_t ImageBase;
  uint32_t SectionAlignment, FileAlignment;
  uint16_t MajorOperatingSystemVersion, MinorOperatingSystemVersion;
  uint16_t MajorImageVersion, MinorImageVersion;
  uint16_t MajorSubsystemVersion, MinorSubsystemVersion;
  uint32_t Win32VersionValue, SizeOfImage, SizeOfHeaders, CheckSum;
  uint16_t Subsystem, DllCharacteristics;
  uint64_t SizeOfStackReserve, SizeOfStackCommit, SizeOfHeapReserve,
      SizeOfHeapCommit;
  uint32_t LoaderFlags;
  uint32_t NumberOfRvaAndSizes;
  // Only the first NumberOfRvaAndSizes are in the file; the rest read as 0.
  IMAGE_DATA_DIRECTORY DataDirectory[IMAGE_NUMBEROF_DIRECTORY_ENTRIES];
};

struct IMAGE_NT_HEADERS64 {
  uint32_t Signature;
  IMAGE_FILE_HEADER FileHeader;
  IMAGE_OPTIONAL_HEADER64 OptionalHeader;
};

struct IMAGE_SECTION_HEADER {
  uint8_t Name[IMAGE_SIZEOF_SHORT_NAME];
  uint32_t VirtualSize;  // Misc.VirtualSize
  uint32_t VirtualAddress;
  uint32_t SizeOfRawData;
  uint32_t PointerToRawData;
  uint32_t PointerToRelocations;
  uint32_t PointerToLinenumbers;
  uint16_t NumberOfRelocations;
  uint16_t NumberOfLinenumbers;
  uint32_t Characteristics;
};
constexpr size_t IMAGE_SIZEOF_SECTION_HEADER = 40;

class PeImage {
 public:
  // The file's bytes and its headers as read from them.
  std::string bytes;
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS64 nt{};
  std::vector<IMAGE_SECTION_HEADER> sections;

  // The file offset of `size` bytes at `rva`, when they lie within one
  // section's raw data.
  std::optional<size_t> fileOffset(uint32_t rva, uint32_t size) const;
  // The section that holds `rva` in its raw data.
  const IMAGE_SECTION_HEADER* sectionAt(uint32_t rva) const;
  // The first address after every section, aligned to SectionAlignment.
  uint64_t endOfImage() const;
  // Whether the headers have room for one more section header, and the
  // loader for one more section.
  bool hasRoomForSection() const;
  // Writes the NT headers and section table back into `bytes` and sets
  // the checksum of the result.
  void writeHeaders();

  size_t checkSumOffset() const;
  size_t sectionTableOffset() const;
};

struct PeReadResult {
  std::optional<PeImage> image;
  // Why the file was refused; `notPe32Plus` when it is not a PE32+ file at
  // all rather than a damaged one.
  std::string error;
  bool notPe32Plus = false;
};

PeReadResult readPeImage(std::string bytes);

// The image checksum as CheckSumMappedFile computes it: the 16-bit one's
// complement sum of the file with the CheckSum field taken as zero, plus
// the file's length.
uint32_t checkSumMappedFile(const std::string& bytes, size_t checkSumOffset);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_PEIMAGE_H
