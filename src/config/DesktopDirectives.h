// The directives of a desktop application's conduct: one instance per
// name (singleInstance), a download page for Java (javaDownloadUrl), and
// the taskbar identity of its windows (appUserModelId).
// A value they refuse is reported on standard error when the line is read,
// and the line is ignored.
#ifndef TARVIK_CONFIG_DESKTOPDIRECTIVES_H
#define TARVIK_CONFIG_DESKTOPDIRECTIVES_H

#include <string>

namespace tarvik {

// The longest instance name, in bytes: it becomes part of a file name.
constexpr size_t MAX_INSTANCE_NAME_BYTES = 200;

void applySingleInstance(const std::string& argument);
void applyJavaDownloadUrl(const std::string& argument);
void applyAppUserModelId(const std::string& argument);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_DESKTOPDIRECTIVES_H
