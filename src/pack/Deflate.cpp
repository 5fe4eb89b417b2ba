#include "pack/Deflate.h"

#include <zlib.h>

#include <algorithm>
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

std::string zlibProblem(const z_stream& stream) {
  return std::string("is damaged (") + (stream.msg ? stream.msg : "zlib cannot read it") + ")";
}

}  // namespace

std::string rawDeflate(const std::string& bytes) { return deflated(bytes, -15); }

std::string gzipped(const std::string& bytes) { return deflated(bytes, 31); }

uint32_t crc32Of(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::optional<std::string> rawInflated(const std::string& data, uint64_t size, std::string& error) {
  if (data.size() > UINT32_MAX || size >= UINT32_MAX) {
    error = "is too large";
    return std::nullopt;
  }
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) throw std::bad_alloc();
  // One byte more than it should hold shows a size that lies.
  std::string out(static_cast<size_t>(size) + 1, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&stream, Z_FINISH);
  const uint64_t made = stream.total_out;
  if (status == Z_DATA_ERROR || status == Z_NEED_DICT) error = zlibProblem(stream);
  else if (status != Z_STREAM_END || made != size)
    error = "does not unpack to the " + std::to_string(size) + " bytes its entry says";
  inflateEnd(&stream);
  if (!error.empty()) return std::nullopt;
  out.resize(static_cast<size_t>(size));
  return out;
}

std::optional<std::string> gunzipped(const std::string& data, uint64_t limit, std::string& error) {
  z_stream stream{};
  if (inflateInit2(&stream, 31) != Z_OK) throw std::bad_alloc();
  std::string out;
  size_t at = 0;
  char chunk[1 << 16];
  while (error.empty()) {
    const size_t step = std::min<size_t>(data.size() - at, 1u << 30);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
    stream.avail_in = static_cast<uInt>(step);
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    const int status = inflate(&stream, Z_NO_FLUSH);
    at += step - stream.avail_in;
    const size_t made = sizeof chunk - stream.avail_out;
    if (out.size() + made > limit) {
      error = "unpacks to more than " + std::to_string(limit) + " bytes";
      break;
    }
    out.append(chunk, made);
    if (status == Z_STREAM_END) {
      // Another member may follow; zeros that pad the file end it.
      if (data.find_first_not_of('\0', at) == std::string::npos) break;
      inflateReset(&stream);
    } else if (status == Z_BUF_ERROR) {
      // No step forward with room to write: the input has run out.
      error = "is cut short";
    } else if (status != Z_OK) {
      error = zlibProblem(stream);
    }
  }
  inflateEnd(&stream);
  if (!error.empty()) return std::nullopt;
  return out;
}

}  // namespace pack
}  // namespace tarvik
