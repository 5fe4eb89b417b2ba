// The output folder on the fake platform: what is made goes into a private
// work folder, which goes with whatever was not delivered.
#include "pack/OutputFolder.h"

#include <gtest/gtest.h>

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace pack {
namespace {

class OutputFolderTest : public LauncherTest {
 protected:
  // The files below C:\Out, by name.
  std::vector<std::string> left() const {
    std::vector<std::string> names;
    for (const auto& file : os.files)
      if (file.first.rfind("C:\\Out\\", 0) == 0) names.push_back(file.first);
    for (const std::string& folder : os.directories)
      if (folder.rfind("C:\\Out\\", 0) == 0) names.push_back(folder + "\\");
    return names;
  }

  const ImageFiles image = {{"acme.exe", "MZ", true, ""}, {"lib/acme.jar", "PK", false, ""}};
};

TEST_F(OutputFolderTest, AFailedWriteLeavesNothing) {
  os.failingWrites.insert("C:\\Out\\.tarvik-pack-0123456789abcdf0\\acme\\lib\\acme.jar");
  std::string error;
  {
    OutputFolder out;
    ASSERT_TRUE(out.open("C:\\Out", error));
    EXPECT_EQ(os.privateDirectories.count("C:\\Out\\.tarvik-pack-0123456789abcdf0"), 1u);
    EXPECT_FALSE(out.writeTree(out.staged("acme"), image, 1700000000, error));
    EXPECT_EQ(error, "C:\\Out\\.tarvik-pack-0123456789abcdf0\\acme\\lib\\acme.jar: cannot be written whole "
                     "(is the disk full?)");
  }
  EXPECT_EQ(left(), std::vector<std::string>{});
}

TEST_F(OutputFolderTest, DeliveryReplacesAnEarlierOutputAndLeavesNoWork) {
  os.files["C:\\Out\\acme.zip"] = "old";
  std::string error;
  {
    OutputFolder out;
    ASSERT_TRUE(out.open("C:\\Out", error));
    ASSERT_TRUE(out.writeTree(out.staged("acme"), image, 1700000000, error)) << error;
    EXPECT_EQ(os.fileTimes["C:\\Out\\.tarvik-pack-0123456789abcdf0\\acme\\lib\\acme.jar"], 1700000000);
    EXPECT_EQ(os.programs.count("C:\\Out\\.tarvik-pack-0123456789abcdf0\\acme\\acme.exe"), 1u);
    ASSERT_TRUE(out.writeFile(out.staged("acme.zip"), "new", FileContent::Bytes, error));
    ASSERT_TRUE(out.deliver({"acme.zip"}, error)) << error;
  }
  EXPECT_EQ(left(), std::vector<std::string>{"C:\\Out\\acme.zip"});
  EXPECT_EQ(os.files["C:\\Out\\acme.zip"], "new");
}

// One output that cannot be replaced: the others stay as they were too,
// as "nothing written" says.
TEST_F(OutputFolderTest, AnOutputThatCannotBeReplacedLeavesTheEarlierOnesAll) {
  os.files["C:\\Out\\acme.zip"] = "old";
  os.files["C:\\Out\\acme.msi"] = "old";
  os.heldOpen.insert("C:\\Out\\acme.msi");
  std::string error;
  {
    OutputFolder out;
    ASSERT_TRUE(out.open("C:\\Out", error));
    ASSERT_TRUE(out.writeFile(out.staged("acme.zip"), "new", FileContent::Bytes, error));
    ASSERT_TRUE(out.writeFile(out.staged("acme.msi"), "new", FileContent::Bytes, error));
    EXPECT_FALSE(out.deliver({"acme.zip", "acme.msi"}, error));
    EXPECT_EQ(error, "C:\\Out\\acme.msi: cannot be replaced");
  }
  EXPECT_EQ(left(), (std::vector<std::string>{"C:\\Out\\acme.msi", "C:\\Out\\acme.zip"}));
  EXPECT_EQ(os.files["C:\\Out\\acme.zip"], "old");
}

// An earlier output's name may be a link to a folder of someone else's:
// the link goes, never what it leads to.
TEST_F(OutputFolderTest, ALinkAtAnOutputsNameGoesWithoutWhatItLeadsTo) {
  os.directories.insert("C:\\Out\\acme");
  os.links.insert("C:\\Out\\acme");
  os.files["C:\\Out\\acme\\keep.txt"] = "theirs";
  removeTree("C:\\Out\\acme");
  EXPECT_EQ(os.files["C:\\Out\\acme\\keep.txt"], "theirs");
}

}  // namespace
}  // namespace pack
}  // namespace tarvik
