// A runtime given as an archive (a .zip, as Windows runtimes are shipped, or
// a .tar.gz, as Linux ones are), unpacked in memory into the same files of
// runtime/ as the runtime given as a folder.
#ifndef TARVIK_PACK_RUNTIMEARCHIVE_H
#define TARVIK_PACK_RUNTIMEARCHIVE_H

#include <optional>
#include <string>

#include "pack/AppImage.h"
#include "pack/ArchiveReaders.h"

namespace tarvik {
namespace pack {

// The system a runtime runs on: Windows takes names without their case
// and without its reserved characters.
enum class RuntimeSystem { Windows, Linux };

enum class ArchiveForm { None, Zip, TarGz };
// The archive a path names by its ending (.zip, .tar.gz, .tgz), or None.
ArchiveForm archiveForm(const std::string& path);

// What a runtime's archive may unpack to: more than a full JDK.
extern const UnpackLimits RUNTIME_LIMITS;

// The files of a runtime's archive below `prefix` ("runtime/"): the one
// folder at its top, when it holds everything, is left out, and a link is
// a copy of the file it names. Nothing, with what is wrong in `error`
// ("the archive is cut short", "jdk/bin/../../x climbs out of the
// runtime's folder"), when the archive is damaged or hostile.
std::optional<ImageFiles> unpackRuntime(const std::string& archive, ArchiveForm form, RuntimeSystem system,
                                        const std::string& prefix, const UnpackLimits& limits,
                                        std::string& error);

// Adds the runtime `path` names, a folder or an archive, under "runtime/";
// false with the reason, the path first, in `error`.
bool addRuntime(const std::string& path, RuntimeSystem system, ImageFiles& files, std::string& error);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_RUNTIMEARCHIVE_H
