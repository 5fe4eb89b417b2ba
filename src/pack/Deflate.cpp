#include "pack/Deflate.h"

#include <zlib.h>

#include <new>

namespace tarvik {
namespace pack {

namespace {

// windowBits: -15 raw deflate, 31 gzip.
std::string deflated(const std::string& bytes, int windowBits) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  gz_header header{};
  header.os = 3;  // Unix, where zlib would write the system it was built for
  if (windowBits > 15) deflateSetHeader(&stream, &header);
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::bad_alloc();
  return out;
}

}  // namespace

std::string rawDeflate(const std::string& bytes) { return deflated(bytes, -15); }

std::string gzipped(const std::string& bytes) { return deflated(bytes, 31); }

uint32_t crc32Of(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

}  // namespace pack
}  // namespace tarvik
