// Whether a class-data archive that a JVM wrote is whole.
//
// The JVM writes an archive's regions first and its header last, at the
// start of the file, so a file whose header is there was written to the
// end: a dynamic archive, or the ahead-of-time cache of Java 25, which is
// a static one. Where the header's layout is known it also says where the
// regions end, which a truncated file falls short of.
#ifndef TARVIK_CACHE_ARCHIVEHEADER_H
#define TARVIK_CACHE_ARCHIVEHEADER_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik {

// How many bytes of the file archiveLooksWhole reads.
constexpr size_t ARCHIVE_HEADER_BYTES = 4096;

// `start`: the first ARCHIVE_HEADER_BYTES of the file (fewer when it is
// shorter); `fileSize`: its whole size.
bool archiveLooksWhole(const std::string& start, uint64_t fileSize);

// Whether `start` begins as the configuration a training run of Java 25
// records at its exit.
bool looksLikeAotConfiguration(const std::string& start);

}  // namespace tarvik

#endif  // TARVIK_CACHE_ARCHIVEHEADER_H
