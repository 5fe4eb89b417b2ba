// Little-endian reads and writes of the fixed-size fields of binary formats,
// over a byte string, whatever the host's byte order. A structure lists its
// fields once (a `fields(io, s)` function) and the same list reads and
// writes it.
#ifndef TARVIK_BRAND_BYTEIO_H
#define TARVIK_BRAND_BYTEIO_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik {
namespace brand {

// Reads fields one after the other from `at`; a field beyond the end reads
// as zero and clears `ok`.
class LeReader {
 public:
  LeReader(const std::string& bytes, size_t at) : bytes_(bytes), at_(at) {}

  template <typename T>
  void operator()(T& value) {
    value = 0;
    if (at_ > bytes_.size() || bytes_.size() - at_ < sizeof(T)) {
      ok_ = false;
      at_ = bytes_.size();
      return;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
      v |= uint64_t(uint8_t(bytes_[at_ + i])) << (8 * i);
    value = static_cast<T>(v);
    at_ += sizeof(T);
  }
  template <typename T, size_t N>
  void operator()(T (&values)[N]) {
    for (T& v : values) (*this)(v);
  }

  bool ok() const { return ok_; }
  size_t at() const { return at_; }

 private:
  const std::string& bytes_;
  size_t at_;
  bool ok_ = true;
};

// Writes fields one after the other from `at`, growing the string as needed.
class LeWriter {
 public:
  LeWriter(std::string& bytes, size_t at) : bytes_(bytes), at_(at) {}

  template <typename T>
  void operator()(const T& value) {
    if (bytes_.size() < at_ + sizeof(T)) bytes_.resize(at_ + sizeof(T), '\0');
    uint64_t v = static_cast<uint64_t>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
      bytes_[at_ + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    at_ += sizeof(T);
  }
  template <typename T, size_t N>
  void operator()(const T (&values)[N]) {
    for (const T& v : values) (*this)(v);
  }

  size_t at() const { return at_; }

 private:
  std::string& bytes_;
  size_t at_;
};

// A structure with a `fields` function, read from or written to `at`.
template <typename S>
bool readStruct(const std::string& bytes, size_t at, S& s) {
  LeReader reader(bytes, at);
  fields(reader, s);
  return reader.ok();
}
template <typename S>
void writeStruct(std::string& bytes, size_t at, const S& s) {
  LeWriter writer(bytes, at);
  fields(writer, const_cast<S&>(s));
}
template <typename S>
std::string bytesOf(const S& s) {
  std::string bytes;
  writeStruct(bytes, 0, s);
  return bytes;
}

inline uint16_t le16(const std::string& bytes, size_t at) {
  uint16_t v;
  LeReader reader(bytes, at);
  reader(v);
  return v;
}
inline uint32_t le32(const std::string& bytes, size_t at) {
  uint32_t v;
  LeReader reader(bytes, at);
  reader(v);
  return v;
}

// `value` rounded up to a multiple of `alignment` (a power of two).
inline uint64_t alignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}

// Whether [at, at + size) lies within `total` bytes, without overflow.
inline bool fits(uint64_t at, uint64_t size, uint64_t total) {
  return at <= total && size <= total - at;
}

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_BYTEIO_H
