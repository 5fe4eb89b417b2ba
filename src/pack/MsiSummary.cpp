#include "pack/MsiSummary.h"

#include <vector>

#include "brand/ByteIo.h"

namespace tarvik {
namespace pack {

namespace {

// The compound file format ([MS-CFB]).
constexpr uint32_t END_OF_CHAIN = 0xFFFFFFFE;
constexpr uint32_t HEADER_BYTES = 512;
constexpr uint32_t DIRECTORY_ENTRY_BYTES = 128;
constexpr uint32_t STREAM_ENTRY = 2;
// The property set's types ([MS-OLEPS]) and the summary's properties.
constexpr uint32_t VT_LPSTR = 30;
constexpr uint32_t VT_FILETIME = 64;
constexpr uint32_t PID_REVNUMBER = 9;
constexpr uint32_t PID_CREATE_DTM = 12;
constexpr uint32_t PID_LASTSAVE_DTM = 13;
constexpr uint64_t FILETIME_OF_1970 = 116444736000000000ull;

class CompoundFile {
 public:
  explicit CompoundFile(std::string& bytes) : bytes_(bytes) {}

  // The places in the file of each byte of the stream named `name`
  // (UTF-16 in the file, ASCII here) in the root storage, in runs.
  bool streamPlaces(const std::string& name, std::vector<size_t>& places, std::string& error) {
    if (bytes_.size() < HEADER_BYTES || brand::le32(bytes_, 0) != 0xE011CFD0u ||
        brand::le32(bytes_, 4) != 0xE11AB1A1u) {
      error = "it is no compound file";
      return false;
    }
    const uint16_t shift = u16(0x1E), miniShift = u16(0x20);
    if (shift != 9 && shift != 12) return bad(error);
    sector_ = 1u << shift;
    mini_ = 1u << miniShift;
    if (!readFat(error)) return false;
    std::vector<uint32_t> dirChain = chain(brand::le32(bytes_, 0x30), fat_);
    std::vector<size_t> dir = placesOf(dirChain, sector_, [&](uint32_t s) { return (size_t(s) + 1) * sector_; });
    const size_t entries = dir.size() / DIRECTORY_ENTRY_BYTES;
    auto entryAt = [&](size_t i) { return dir[i * DIRECTORY_ENTRY_BYTES]; };
    if (entries == 0) return bad(error);
    const size_t root = entryAt(0);
    for (size_t i = 1; i < entries; ++i) {
      const size_t at = entryAt(i);
      if (bytes_[at + 0x42] != STREAM_ENTRY || u16(at + 0x40) != 2 * (name.size() + 1)) continue;
      bool same = true;
      for (size_t c = 0; c < name.size(); ++c)
        same = same && u16(at + 2 * c) == static_cast<unsigned char>(name[c]);
      if (!same) continue;
      const uint32_t start = brand::le32(bytes_, at + 0x74);
      const uint32_t size = brand::le32(bytes_, at + 0x78);
      if (size < brand::le32(bytes_, 0x38)) {
        // In the mini stream, itself the root entry's stream.
        std::vector<uint32_t> miniFat;
        for (uint32_t s : chain(brand::le32(bytes_, 0x3C), fat_))
          for (uint32_t k = 0; k < sector_ / 4; ++k) miniFat.push_back(brand::le32(bytes_, (size_t(s) + 1) * sector_ + 4 * k));
        std::vector<size_t> miniStream = placesOf(chain(brand::le32(bytes_, root + 0x74), fat_), sector_,
                                                  [&](uint32_t s) { return (size_t(s) + 1) * sector_; });
        places = placesOf(chain(start, miniFat), mini_, [&](uint32_t m) {
          return size_t(m) * mini_ < miniStream.size() ? miniStream[size_t(m) * mini_] : size_t(-1);
        });
      } else {
        places = placesOf(chain(start, fat_), sector_, [&](uint32_t s) { return (size_t(s) + 1) * sector_; });
      }
      if (places.size() < size) return bad(error);
      places.resize(size);
      for (size_t p : places)
        if (p >= bytes_.size()) return bad(error);
      return true;
    }
    error = "it holds no summary information";
    return false;
  }

 private:
  uint16_t u16(size_t at) const { return brand::le16(bytes_, at); }
  static bool bad(std::string& error) {
    error = "its compound file is damaged";
    return false;
  }

  bool readFat(std::string& error) {
    std::vector<uint32_t> fatSectors;
    for (uint32_t i = 0; i < 109; ++i) {
      const uint32_t s = brand::le32(bytes_, 0x4C + 4 * i);
      if (s < END_OF_CHAIN) fatSectors.push_back(s);
    }
    uint32_t difat = brand::le32(bytes_, 0x44);
    for (int guard = 0; difat < END_OF_CHAIN && guard < 1 << 16; ++guard) {
      const size_t at = (size_t(difat) + 1) * sector_;
      if (at + sector_ > bytes_.size()) return bad(error);
      for (uint32_t k = 0; k + 1 < sector_ / 4; ++k) {
        const uint32_t s = brand::le32(bytes_, at + 4 * k);
        if (s < END_OF_CHAIN) fatSectors.push_back(s);
      }
      difat = brand::le32(bytes_, at + sector_ - 4);
    }
    for (uint32_t s : fatSectors) {
      const size_t at = (size_t(s) + 1) * sector_;
      if (at + sector_ > bytes_.size()) return bad(error);
      for (uint32_t k = 0; k < sector_ / 4; ++k) fat_.push_back(brand::le32(bytes_, at + 4 * k));
    }
    return true;
  }

  // A chain of sectors; a loop or a step out of the table ends it.
  static std::vector<uint32_t> chain(uint32_t start, const std::vector<uint32_t>& table) {
    std::vector<uint32_t> sectors;
    for (uint32_t s = start; s < table.size() && sectors.size() <= table.size(); s = table[s])
      sectors.push_back(s);
    return sectors;
  }

  template <typename Place>
  static std::vector<size_t> placesOf(const std::vector<uint32_t>& sectors, uint32_t size, Place place) {
    std::vector<size_t> places;
    for (uint32_t s : sectors) {
      const size_t at = place(s);
      for (uint32_t k = 0; k < size; ++k) places.push_back(at == size_t(-1) ? at : at + k);
    }
    return places;
  }

  std::string& bytes_;
  uint32_t sector_ = 512, mini_ = 64;
  std::vector<uint32_t> fat_;
};

}  // namespace

bool setMsiSummary(std::string& msi, const std::string& packageCode, int64_t time,
                   std::string& error) {
  std::vector<size_t> places;
  if (!CompoundFile(msi).streamPlaces("\005SummaryInformation", places, error)) return false;
  std::string stream;
  for (size_t p : places) stream += msi[p];
  if (stream.size() < 48) {
    error = "its summary information is damaged";
    return false;
  }
  const uint32_t section = brand::le32(stream, 44);
  const uint32_t count = section + 8 <= stream.size() ? brand::le32(stream, section + 4) : 0;
  const uint64_t filetime = FILETIME_OF_1970 + static_cast<uint64_t>(time < 0 ? 0 : time) * 10000000ull;
  bool codeSet = false;
  for (uint32_t i = 0; i < count && section + 16 + 8 * i <= stream.size(); ++i) {
    const uint32_t id = brand::le32(stream, section + 8 + 8 * i);
    const size_t at = size_t(section) + brand::le32(stream, section + 12 + 8 * i);
    if (at + 16 > stream.size()) continue;
    const uint32_t type = brand::le32(stream, at);
    if ((id == PID_CREATE_DTM || id == PID_LASTSAVE_DTM) && type == VT_FILETIME) {
      brand::LeWriter writer(stream, at + 4);
      writer(filetime);
    } else if (id == PID_REVNUMBER && type == VT_LPSTR) {
      const uint32_t length = brand::le32(stream, at + 4);
      if (length != packageCode.size() + 1 || at + 8 + length > stream.size()) continue;
      stream.replace(at + 8, packageCode.size(), packageCode);
      codeSet = true;
    }
  }
  if (!codeSet) {
    error = "its summary information holds no package code to set";
    return false;
  }
  for (size_t i = 0; i < places.size(); ++i) msi[places[i]] = stream[i];
  return true;
}

}  // namespace pack
}  // namespace tarvik
