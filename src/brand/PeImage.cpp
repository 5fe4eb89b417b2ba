#include "brand/PeImage.h"

#include <algorithm>

#include "brand/ByteIo.h"

namespace tarvik {
namespace brand {

template <typename Io>
void fields(Io& io, IMAGE_DOS_HEADER& h) {
  io(h.e_magic); io(h.e_cblp); io(h.e_cp); io(h.e_crlc); io(h.e_cparhdr);
  io(h.e_minalloc); io(h.e_maxalloc); io(h.e_ss); io(h.e_sp); io(h.e_csum);
  io(h.e_ip); io(h.e_cs); io(h.e_lfarlc); io(h.e_ovno); io(h.e_res);
  io(h.e_oemid); io(h.e_oeminfo); io(h.e_res2); io(h.e_lfanew);
}

template <typename Io>
void fields(Io& io, IMAGE_FILE_HEADER& h) {
  io(h.Machine); io(h.NumberOfSections); io(h.TimeDateStamp);
  io(h.PointerToSymbolTable); io(h.NumberOfSymbols);
  io(h.SizeOfOptionalHeader); io(h.Characteristics);
}

// The optional header up to NumberOfRvaAndSizes; the directories follow.
template <typename Io>
void fields(Io& io, IMAGE_OPTIONAL_HEADER64& h) {
  io(h.Magic); io(h.MajorLinkerVersion); io(h.MinorLinkerVersion);
  io(h.SizeOfCode); io(h.SizeOfInitializedData); io(h.SizeOfUninitializedData);
  io(h.AddressOfEntryPoint); io(h.BaseOfCode); io(h.ImageBase);
  io(h.SectionAlignment); io(h.FileAlignment);
  io(h.MajorOperatingSystemVersion); io(h.MinorOperatingSystemVersion);
  io(h.MajorImageVersion); io(h.MinorImageVersion);
  io(h.MajorSubsystemVersion); io(h.MinorSubsystemVersion);
  io(h.Win32VersionValue); io(h.SizeOfImage); io(h.SizeOfHeaders);
  io(h.CheckSum); io(h.Subsystem); io(h.DllCharacteristics);
  io(h.SizeOfStackReserve); io(h.SizeOfStackCommit);
  io(h.SizeOfHeapReserve); io(h.SizeOfHeapCommit);
  io(h.LoaderFlags); io(h.NumberOfRvaAndSizes);
}
constexpr size_t OPTIONAL_HEADER64_FIXED_SIZE = 112;

template <typename Io>
void fields(Io& io, IMAGE_DATA_DIRECTORY& d) {
  io(d.VirtualAddress); io(d.Size);
}

template <typename Io>
void fields(Io& io, IMAGE_SECTION_HEADER& s) {
  io(s.Name); io(s.VirtualSize); io(s.VirtualAddress); io(s.SizeOfRawData);
  io(s.PointerToRawData); io(s.PointerToRelocations);
  io(s.PointerToLinenumbers); io(s.NumberOfRelocations);
  io(s.NumberOfLinenumbers); io(s.Characteristics);
}

namespace {

bool powerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

PeReadResult refused(const std::string& why, bool notPe32Plus) {
  PeReadResult result;
  result.error = why;
  result.notPe32Plus = notPe32Plus;
  return result;
}

}  // namespace

size_t PeImage::checkSumOffset() const { return dos.e_lfanew + 4 + 20 + 64; }

size_t PeImage::sectionTableOffset() const {
  return size_t(dos.e_lfanew) + 4 + 20 + nt.FileHeader.SizeOfOptionalHeader;
}

const IMAGE_SECTION_HEADER* PeImage::sectionAt(uint32_t rva) const {
  for (const IMAGE_SECTION_HEADER& s : sections)
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData)
      return &s;
  return nullptr;
}

std::optional<size_t> PeImage::fileOffset(uint32_t rva, uint32_t size) const {
  const IMAGE_SECTION_HEADER* s = sectionAt(rva);
  if (!s || !fits(rva - s->VirtualAddress, size, s->SizeOfRawData))
    return std::nullopt;
  return size_t(s->PointerToRawData) + (rva - s->VirtualAddress);
}

uint64_t PeImage::endOfImage() const {
  uint64_t end = nt.OptionalHeader.SizeOfHeaders;
  for (const IMAGE_SECTION_HEADER& s : sections)
    end = std::max<uint64_t>(
        end, uint64_t(s.VirtualAddress) + std::max(s.VirtualSize, s.SizeOfRawData));
  return alignUp(end, nt.OptionalHeader.SectionAlignment);
}

bool PeImage::hasRoomForSection() const {
  if (sections.size() >= 96) return false;  // the loader takes no more
  uint64_t end = sectionTableOffset() + (sections.size() + 1) * IMAGE_SIZEOF_SECTION_HEADER;
  if (end > nt.OptionalHeader.SizeOfHeaders) return false;
  for (const IMAGE_SECTION_HEADER& s : sections)
    if (s.SizeOfRawData > 0 && s.PointerToRawData < end) return false;
  return true;
}

void PeImage::writeHeaders() {
  size_t at = dos.e_lfanew;
  LeWriter writer(bytes, at);
  writer(nt.Signature);
  fields(writer, nt.FileHeader);
  IMAGE_OPTIONAL_HEADER64& optional = nt.OptionalHeader;
  fields(writer, optional);
  for (uint32_t i = 0; i < optional.NumberOfRvaAndSizes && i < IMAGE_NUMBEROF_DIRECTORY_ENTRIES; ++i)
    fields(writer, optional.DataDirectory[i]);
  size_t table = sectionTableOffset();
  for (size_t i = 0; i < sections.size(); ++i)
    writeStruct(bytes, table + i * IMAGE_SIZEOF_SECTION_HEADER, sections[i]);
  optional.CheckSum = checkSumMappedFile(bytes, checkSumOffset());
  LeWriter(bytes, checkSumOffset())(optional.CheckSum);
}

PeReadResult readPeImage(std::string bytes) {
  PeImage image;
  if (!readStruct(bytes, 0, image.dos) || image.dos.e_magic != IMAGE_DOS_SIGNATURE)
    return refused("not a PE32+ file: it has no MZ header", true);
  const size_t nt = image.dos.e_lfanew;
  if (!fits(nt, 4 + 20 + 2, bytes.size()) || le32(bytes, nt) != IMAGE_NT_SIGNATURE)
    return refused("not a PE32+ file: it has no PE header", true);
  image.nt.Signature = IMAGE_NT_SIGNATURE;
  readStruct(bytes, nt + 4, image.nt.FileHeader);
  IMAGE_OPTIONAL_HEADER64& optional = image.nt.OptionalHeader;
  const uint16_t magic = le16(bytes, nt + 24);
  if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
    return refused("not a PE32+ file: it is a 32-bit (PE32) image", true);
  if (magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
    return refused("not a PE32+ file: its optional header is not that of PE32+", true);
  const uint16_t optionalSize = image.nt.FileHeader.SizeOfOptionalHeader;
  if (optionalSize < OPTIONAL_HEADER64_FIXED_SIZE || !readStruct(bytes, nt + 24, optional))
    return refused("damaged PE32+ file: its optional header is cut short", false);
  const uint32_t directories = std::min<uint32_t>(optional.NumberOfRvaAndSizes,
                                                  IMAGE_NUMBEROF_DIRECTORY_ENTRIES);
  if (OPTIONAL_HEADER64_FIXED_SIZE + 8 * directories > optionalSize)
    return refused("damaged PE32+ file: its data directories overrun the optional header", false);
  for (uint32_t i = 0; i < directories; ++i)
    if (!readStruct(bytes, nt + 24 + OPTIONAL_HEADER64_FIXED_SIZE + 8 * i, optional.DataDirectory[i]))
      return refused("damaged PE32+ file: its optional header is cut short", false);
  if (!powerOfTwo(optional.FileAlignment) || optional.FileAlignment > 0x10000 ||
      !powerOfTwo(optional.SectionAlignment) || optional.SectionAlignment < optional.FileAlignment)
    return refused("damaged PE32+ file: its section or file alignment is not a power of two", false);
  if (image.nt.FileHeader.NumberOfSections > 96)
    return refused("damaged PE32+ file: it claims more than 96 sections", false);
  image.bytes = std::move(bytes);
  const size_t table = image.sectionTableOffset();
  const size_t count = image.nt.FileHeader.NumberOfSections;
  if (!fits(table, count * IMAGE_SIZEOF_SECTION_HEADER, image.bytes.size()))
    return refused("damaged PE32+ file: its section table lies beyond the end of the file", false);
  for (size_t i = 0; i < count; ++i) {
    IMAGE_SECTION_HEADER section;
    readStruct(image.bytes, table + i * IMAGE_SIZEOF_SECTION_HEADER, section);
    if (section.SizeOfRawData > 0 &&
        !fits(section.PointerToRawData, section.SizeOfRawData, image.bytes.size()))
      return refused("damaged PE32+ file: a section's data lies beyond the end of the file", false);
    if (uint64_t(section.VirtualAddress) + std::max(section.VirtualSize, section.SizeOfRawData) > 0xFFFFFFFFu)
      return refused("damaged PE32+ file: a section lies beyond 4 GiB", false);
    image.sections.push_back(section);
  }
  PeReadResult result;
  result.image = std::move(image);
  return result;
}

uint32_t checkSumMappedFile(const std::string& bytes, size_t checkSumOffset) {
  auto byteAt = [&](size_t i) -> uint32_t {
    if (i >= bytes.size() || (i >= checkSumOffset && i - checkSumOffset < 4)) return 0;
    return uint8_t(bytes[i]);
  };
  uint64_t sum = 0;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    sum += byteAt(i) | (byteAt(i + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + bytes.size());
}

}  // namespace brand
}  // namespace tarvik
