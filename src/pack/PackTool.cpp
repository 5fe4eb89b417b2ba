#include "pack/PackTool.h"

#include <map>
#include <new>
#include <optional>

#include "launch/WindowsCommandLine.h"
#include "os/Platform.h"
#include "pack/AppImage.h"
#include "pack/DebianPackage.h"
#include "pack/MsiSummary.h"
#include "pack/OutputFolder.h"
#include "pack/PackDescription.h"
#include "pack/StableId.h"
#include "pack/TarArchive.h"
#include "pack/WixSource.h"
#include "pack/Deflate.h"
#include "pack/ZipArchive.h"

namespace tarvik {
namespace pack {

namespace {

const char USAGE[] =
    "Usage: tarvik-pack [--output FOLDER] [--windows-launchers FOLDER]\n"
    "                   [--linux-launchers FOLDER] DESCRIPTION\n"
    "Makes what the description's output lines ask for (the Windows app image\n"
    "as a folder and a .zip, an MSI installer, the Linux app image as a folder\n"
    "and a .tar.gz, a .deb) in the output folder (default: dist). The launchers\n"
    "are taken from tarvik-pack's own folder unless a switch names another.\n"
    "SOURCE_DATE_EPOCH, when set, dates every file: the same inputs then make\n"
    "the same bytes.\n";

const char* const SWITCHES[] = {"output", "windows-launchers", "linux-launchers"};

// The programs tarvik-pack runs, and the Debian package that brings each.
struct ExternalTool {
  const char* program;
  const char* package;
};
const ExternalTool TOOLS[] = {
    {"wixl", "wixl (of msitools)"},
    {"msibuild", "msitools"},
    {"dpkg-deb", "dpkg"},
    {"osslsigncode", "osslsigncode"},
};

struct Failure {
  int code;
  std::string text;
};

class Tool {
 public:
  Tool(const std::vector<std::string>& words, const std::string& ownFolder)
      : words_(words), ownFolder_(ownFolder) {}

  int run() {
    if (words_.size() == 1 && (words_[0] == "--help" || words_[0] == "-h")) {
      platform().writeStdout(USAGE);
      return PACK_OK;
    }
    std::map<std::string, std::string> values;
    std::string descriptionPath;
    if (!parse(values, descriptionPath)) return PACK_BAD_DESCRIPTION;
    const DescriptionRead read = readPackDescription(descriptionPath);
    if (!read.faults.empty()) {
      for (const DescriptionFault& fault : read.faults) say(faultLine(fault));
      say("nothing written");
      return PACK_BAD_DESCRIPTION;
    }
    d_ = read.description;
    launchers_.windows = values.count("windows-launchers") ? values["windows-launchers"] : ownFolder_;
    launchers_.linux = values.count("linux-launchers") ? values["linux-launchers"] : ownFolder_;
    time_ = sourceTime();
    if (!time_) {
      say("SOURCE_DATE_EPOCH is no number of seconds; nothing written");
      return PACK_BAD_DESCRIPTION;
    }
    // The tools run below date what they make by it too.
    platform().setEnv("SOURCE_DATE_EPOCH", std::to_string(*time_));

    OutputFolder out;
    std::string error;
    if (!out.open(values.count("output") ? values["output"] : "dist", error))
      return fail({PACK_CANNOT_WRITE, error});
    std::vector<std::string> products;
    std::optional<Failure> failure = make(out, products);
    if (!failure && !out.deliver(products, error)) failure = Failure{PACK_CANNOT_WRITE, error};
    if (failure) return fail(*failure);
    for (const std::string& product : products) platform().writeStdout(out.delivered(product) + "\n");
    return PACK_OK;
  }

 private:
  bool parse(std::map<std::string, std::string>& values, std::string& description) {
    std::vector<std::string> files;
    for (size_t i = 0; i < words_.size(); ++i) {
      const std::string& word = words_[i];
      if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
        files.push_back(word);
        continue;
      }
      const std::string name = word.substr(2);
      bool known = false;
      for (const char* s : SWITCHES) known = known || name == s;
      if (!known) return usage("unknown switch " + word);
      if (i + 1 == words_.size()) return usage(word + " needs a folder");
      if (values.count(name)) return usage(word + " is given twice");
      values[name] = words_[++i];
    }
    if (files.size() != 1) return usage("name one description");
    description = files[0];
    return true;
  }

  std::optional<int64_t> sourceTime() {
    const std::optional<std::string> text = platform().getEnv("SOURCE_DATE_EPOCH");
    if (!text || text->empty()) return platform().timeSeconds();
    if (text->size() > 12 || text->find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    return std::stoll(*text);
  }

  std::optional<Failure> make(OutputFolder& out, std::vector<std::string>& products) {
    const std::string base = d_.fileName + "-" + d_.version;
    std::string error;
    if (d_.wants(Output::WindowsZip) || d_.wants(Output::Msi)) {
      ImageResult image = windowsImage(d_, launchers_.windows);
      if (!image.files) return Failure{PACK_BAD_INPUT, image.error};
      if (!d_.certificate.empty())
        if (std::optional<Failure> f = signPrograms(out, *image.files)) return f;
      const std::string folder = base + "-windows-x64";
      if (!out.writeTree(out.staged(folder), *image.files, *time_, error)) return Failure{PACK_CANNOT_WRITE, error};
      if (d_.wants(Output::WindowsZip)) {
        const std::optional<std::string> zip = zipArchive(*image.files, folder, *time_);
        if (!zip) return Failure{PACK_BAD_INPUT, folder + ".zip: the image is too large for a zip archive"};
        if (!out.writeFile(out.staged(folder + ".zip"), *zip, FileContent::Bytes, error))
          return Failure{PACK_CANNOT_WRITE, error};
        products.push_back(folder);
        products.push_back(folder + ".zip");
      }
      if (d_.wants(Output::Msi)) {
        const std::string msi = base + "-x64.msi";
        if (std::optional<Failure> f = makeMsi(out, *image.files, folder, msi)) return f;
        products.push_back(msi);
      }
    }
    if (d_.wants(Output::LinuxTarGz) || d_.wants(Output::Deb)) {
      ImageResult image = linuxImage(d_, launchers_.linux);
      if (!image.files) return Failure{PACK_BAD_INPUT, image.error};
      if (d_.wants(Output::LinuxTarGz)) {
        const std::string folder = base + "-linux-x64";
        if (!out.writeTree(out.staged(folder), *image.files, *time_, error)) return Failure{PACK_CANNOT_WRITE, error};
        const std::optional<std::string> tar = tarArchive(*image.files, folder, *time_, error);
        if (!tar) return Failure{PACK_BAD_INPUT, error};
        if (!out.writeFile(out.staged(folder + ".tar.gz"), gzipped(*tar), FileContent::Bytes, error))
          return Failure{PACK_CANNOT_WRITE, error};
        products.push_back(folder);
        products.push_back(folder + ".tar.gz");
      }
      if (d_.wants(Output::Deb)) {
        const std::optional<ImageFiles> tree = debianTree(d_, *image.files, error);
        if (!tree) return Failure{PACK_BAD_INPUT, error};
        if (!out.writeTree(out.staged("deb"), *tree, *time_, error)) return Failure{PACK_CANNOT_WRITE, error};
        const std::string deb = debianFileName(d_);
        if (std::optional<Failure> f = runTool({"dpkg-deb", "--root-owner-group", "-Zgzip", "--build",
                                                out.staged("deb"), out.staged(deb)}))
          return f;
        products.push_back(deb);
      }
    }
    return std::nullopt;
  }

  std::optional<Failure> makeMsi(OutputFolder& out, const ImageFiles& files, const std::string& folder,
                                 const std::string& msi) {
    std::string error;
    const std::string source = wixSource(d_, files, folder);
    const std::string wxs = out.staged("product.wxs");
    if (!out.writeFile(wxs, source, FileContent::Text, error)) return Failure{PACK_CANNOT_WRITE, error};
    // wixl finds the files below the work folder, which it runs in.
    if (std::optional<Failure> f = runTool({"wixl", "-a", "x64", "-o", msi, "product.wxs"}, out.staged("")))
      return f;
    if (std::optional<Failure> f = addShortcutProperties(out, msi)) return f;
    // The package code names these very bytes: the source and every file.
    NameHash hash;
    hash.add(source);
    for (const ImageFile& file : files) hash.add(file.path + '\0' + file.bytes);
    std::optional<std::string> built = readInput(out.staged(msi), 4ull << 30, error);
    if (!built) return Failure{PACK_TOOL_FAILED, error + ": wixl wrote no installer"};
    if (!setMsiSummary(*built, stableGuid(hash), *time_, error))
      return Failure{PACK_TOOL_FAILED, out.staged(msi) + ": " + error};
    if (!out.writeFile(out.staged(msi), *built, FileContent::Bytes, error))
      return Failure{PACK_CANNOT_WRITE, error};
    if (!d_.certificate.empty()) return signFile(out, out.staged(msi));
    return std::nullopt;
  }

  // The shortcuts' taskbar identity, a table wixl does not write.
  std::optional<Failure> addShortcutProperties(OutputFolder& out, const std::string& msi) {
    const std::string table = shortcutPropertyTable(d_);
    if (table.empty()) return std::nullopt;
    std::string error;
    // msibuild names the table by the file's own name.
    const std::string idt = "MsiShortcutProperty.idt";
    if (!out.writeFile(out.staged(idt), table, FileContent::Bytes, error))
      return Failure{PACK_CANNOT_WRITE, error};
    std::optional<Failure> f = runTool({"msibuild", msi, "-i", idt}, out.staged(""));
    platform().removeFile(out.staged(idt));
    return f;
  }

  // The launchers are signed before they go into the archive and the
  // installer, so that what is installed is signed too.
  std::optional<Failure> signPrograms(OutputFolder& out, ImageFiles& files) {
    std::string error;
    for (ImageFile& file : files) {
      if (file.path.find('/') != std::string::npos || file.path.size() < 5 ||
          file.path.compare(file.path.size() - 4, 4, ".exe") != 0)
        continue;
      const std::string path = out.staged(file.path);
      if (!out.writeFile(path, file.bytes, FileContent::Program, error))
        return Failure{PACK_CANNOT_WRITE, error};
      if (std::optional<Failure> f = signFile(out, path)) return f;
      std::optional<std::string> signedFile = readInput(path, 1ull << 30, error);
      if (!signedFile) return Failure{PACK_TOOL_FAILED, error + " once signed"};
      file.bytes = std::move(*signedFile);
      platform().removeFile(path);
    }
    return std::nullopt;
  }

  std::optional<Failure> signFile(OutputFolder& out, const std::string& path) {
    std::string error;
    const std::optional<std::string> password = platform().getEnv(d_.certificatePasswordVariable);
    if (!password)
      return Failure{PACK_BAD_DESCRIPTION,
                     "the certificate's password variable " + d_.certificatePasswordVariable + " is not set"};
    // The password goes through a file of the private work folder, never
    // on a command line that others can read.
    const std::string passFile = out.staged("signing.pass");
    if (!out.writeFile(passFile, *password, FileContent::Bytes, error)) return Failure{PACK_CANNOT_WRITE, error};
    const std::string signedPath = path + ".signed";
    std::optional<Failure> f =
        runTool({"osslsigncode", "sign", "-pkcs12", d_.certificate, "-readpass", passFile, "-h", "sha256",
                 "-n", d_.name, "-time", std::to_string(*time_), "-in", path, "-out", signedPath});
    platform().removeFile(passFile);
    if (f) return f;
    if (!platform().renameFile(signedPath, path)) return Failure{PACK_CANNOT_WRITE, path + ": cannot be replaced"};
    return std::nullopt;
  }

  std::optional<Failure> runTool(const std::vector<std::string>& words, const std::string& folder = "") {
    const ExternalTool* tool = nullptr;
    for (const ExternalTool& row : TOOLS)
      if (words[0] == row.program) tool = &row;
    ChildStart start;
    start.arguments = words;
    start.commandLine = commandLineText(words);
    if (!folder.empty()) start.workingDir = folder;
    ChildStartResult started = platform().startChild(start);
    if (!started.child)
      return Failure{PACK_MISSING_TOOL, words[0] + " cannot be run (" + started.errorText +
                                            "): install Debian's package " + tool->package};
    if (started.child->waitForExit(-1) != WaitResult::Ended)
      return Failure{PACK_TOOL_FAILED, words[0] + " could not be waited for"};
    const uint32_t code = started.child->exitCode();
    if (code != 0)
      return Failure{PACK_TOOL_FAILED, words[0] + " failed with exit code " + std::to_string(code)};
    return std::nullopt;
  }

  void say(const std::string& text) { platform().writeStderr("tarvik-pack: " + text + "\n"); }
  bool usage(const std::string& why) {
    platform().writeStderr("tarvik-pack: " + why + "\n" + USAGE);
    return false;
  }
  int fail(const Failure& failure) {
    say(failure.text + "; nothing written");
    return failure.code;
  }

  const std::vector<std::string>& words_;
  std::string ownFolder_;
  PackDescription d_;
  LauncherFolders launchers_;
  std::optional<int64_t> time_;
};

}  // namespace

int runPackTool(const std::vector<std::string>& words, const std::string& ownFolder) {
  try {
    return Tool(words, ownFolder).run();
  } catch (const std::bad_alloc&) {
    platform().writeStderr("tarvik-pack: not enough memory; nothing written\n");
    return PACK_NO_MEMORY;
  }
}

}  // namespace pack
}  // namespace tarvik
