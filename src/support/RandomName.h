// Names nobody can guess, for the files the launcher creates in shared
// folders such as the temporary one.
#ifndef TARVIK_SUPPORT_RANDOMNAME_H
#define TARVIK_SUPPORT_RANDOMNAME_H

#include <optional>
#include <string>

namespace tarvik {

// How many names the launcher tries before it gives up on a shared folder:
// a name that is taken there was planted, or is a rare collision.
constexpr int NEW_NAME_TRIES = 16;

// 16 hexadecimal digits from the system's random source; nothing when the
// system gives no random number.
std::optional<std::string> randomName();

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_RANDOMNAME_H
