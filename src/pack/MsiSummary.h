// An installer's summary information (the stream "\005SummaryInformation"
// of its compound file), set in place: wixl writes the time it ran and a
// package code of its own drawing there, which make every build differ.
#ifndef TARVIK_PACK_MSISUMMARY_H
#define TARVIK_PACK_MSISUMMARY_H

#include <cstdint>
#include <string>

namespace tarvik {
namespace pack {

// Sets the package code ("{...}", as long as the one there) and the times
// of creation and of the last save (seconds since 1970) of the installer
// `msi`; false with the reason in `error` for a file that is no compound
// file with such a stream.
bool setMsiSummary(std::string& msi, const std::string& packageCode, int64_t time,
                   std::string& error);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_MSISUMMARY_H
