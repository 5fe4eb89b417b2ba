// The output folder: everything is made in a private folder of its own in
// it and moved into place when all is made, so a failure leaves no half-made
// output behind and the outputs of an earlier run stay as they were.
#ifndef TARVIK_PACK_OUTPUTFOLDER_H
#define TARVIK_PACK_OUTPUTFOLDER_H

#include <string>
#include <vector>

#include "os/Platform.h"
#include "pack/AppImage.h"

namespace tarvik {
namespace pack {

class OutputFolder {
 public:
  OutputFolder() = default;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;
  // The work folder goes, with whatever was not delivered.
  ~OutputFolder();

  // Makes `folder` where it is missing, and the work folder in it.
  bool open(const std::string& folder, std::string& error);

  // The path of `name` in the work folder, and in the output folder.
  std::string staged(const std::string& name) const;
  std::string delivered(const std::string& name) const;

  // Writes a new file (its folder must exist).
  bool writeFile(const std::string& path, const std::string& bytes, FileContent content,
                 std::string& error);
  // Makes the folder `path` and below it the image's folders, files and
  // links, each dated `time` (what reads the folder then sees the same
  // bytes and times whenever it was written).
  bool writeTree(const std::string& path, const ImageFiles& files, int64_t time,
                 std::string& error);

  // Moves the staged files and folders `names` into the output folder, each
  // replacing what has its name there: all of them, or, where one cannot
  // be, none (what was there stays).
  bool deliver(const std::vector<std::string>& names, std::string& error);

 private:
  std::string output_;
  std::string work_;
};

// Removes a file, or a folder with all it holds.
void removeTree(const std::string& path);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_OUTPUTFOLDER_H
