#include "brand/BrandTool.h"

#include <map>
#include <new>

#include "brand/Branding.h"
#include "brand/IconFile.h"
#include "brand/Utf16.h"
#include "brand/VersionInfo.h"

namespace tarvik {
namespace brand {

namespace {

const char USAGE[] =
    "Usage: tarvik-brand --icon APP.ico --name NAME --version A.B.C.D\n"
    "                    [--company TEXT] [--copyright TEXT] [--description TEXT]\n"
    "                    LAUNCHER.exe OUTPUT.exe\n"
    "Writes OUTPUT.exe, a copy of the Tarvik launcher LAUNCHER.exe with the icon\n"
    "and the version information given. OriginalFilename and InternalName are\n"
    "OUTPUT.exe's name; the description is NAME unless given.\n";

struct Options {
  std::map<std::string, std::string> values;  // by switch, without "--"
  std::vector<std::string> files;
};

std::string mebibytes(size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

const char* const SWITCHES[] = {"icon", "name", "version", "company", "copyright", "description"};

class Tool {
 public:
  explicit Tool(BrandSystem& system) : system_(system) {}

  int run() {
    Options options;
    std::vector<std::string> args = system_.arguments();
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
      system_.writeStdout(USAGE);
      return BRAND_OK;
    }
    if (int code = parse(args, options)) return code;
    std::optional<VersionNumber> version = parseVersionNumber(options.values["version"]);
    if (!version)
      return usage("the version \"" + options.values["version"] +
                   "\" is not four numbers from 0 to 65535, such as 1.4.2.0");

    const std::string& launcherPath = options.files[0];
    const std::string& iconPath = options.values["icon"];
    const std::string& outputPath = options.files[1];
    BrandInput input;
    input.version = *version;
    input.productName = options.values["name"];
    input.fileDescription = options.values["description"];
    input.companyName = options.values["company"];
    input.legalCopyright = options.values["copyright"];
    input.outputFileName = outputPath;
    const std::string stringsError = versionStringsError(input);
    if (!stringsError.empty()) return usage(stringsError);

    std::string error;
    std::optional<std::string> launcher = system_.readFile(launcherPath, MAX_LAUNCHER_FILE_BYTES + 1, error);
    if (!launcher) return fail(BRAND_BAD_LAUNCHER, launcherPath + ": cannot be read: " + error);
    if (launcher->size() > MAX_LAUNCHER_FILE_BYTES)
      return fail(BRAND_BAD_LAUNCHER, launcherPath + ": the launcher is larger than " + mebibytes(MAX_LAUNCHER_FILE_BYTES));
    std::optional<std::string> iconBytes = system_.readFile(iconPath, MAX_ICON_FILE_BYTES + 1, error);
    if (!iconBytes) return fail(BRAND_BAD_ICON, iconPath + ": cannot be read: " + error);
    if (iconBytes->size() > MAX_ICON_FILE_BYTES)
      return fail(BRAND_BAD_ICON, iconPath + ": the icon file is larger than " + mebibytes(MAX_ICON_FILE_BYTES));
    IconReadResult icon = readIconFile(*iconBytes);
    if (!icon.icon) return fail(BRAND_BAD_ICON, iconPath + ": " + icon.error);
    input.launcher = std::move(*launcher);
    input.icon = std::move(*icon.icon);
    BrandResult branded = brandLauncher(input);
    if (!branded.image) return fail(BRAND_BAD_LAUNCHER, launcherPath + ": " + branded.error);
    if (branded.droppedSignature)
      system_.writeStderr("tarvik-brand: warning: " + launcherPath +
                          " carries an Authenticode signature; " + outputPath +
                          " is written without it, because branding breaks it\n");
    if (!system_.replaceFile(outputPath, *branded.image, error))
      return fail(BRAND_CANNOT_WRITE, outputPath + ": cannot be written: " + error);
    return BRAND_OK;
  }

 private:
  int parse(const std::vector<std::string>& args, Options& options) {
    bool onlyFiles = false;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (onlyFiles || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
        options.files.push_back(arg);
        continue;
      }
      if (arg == "--") {
        onlyFiles = true;
        continue;
      }
      std::string name = arg.substr(2), value;
      const size_t equals = name.find('=');
      bool inline_ = equals != std::string::npos;
      if (inline_) {
        value = name.substr(equals + 1);
        name.resize(equals);
      }
      bool known = false;
      for (const char* s : SWITCHES) known = known || name == s;
      if (!known) return usage("unknown switch --" + name);
      if (!inline_) {
        if (i + 1 == args.size()) return usage("--" + name + " needs a value");
        value = args[++i];
      }
      if (options.values.count(name)) return usage("--" + name + " is given twice");
      if (!utf8ToUtf16(value)) return usage("the value of --" + name + " is not valid UTF-8");
      options.values[name] = value;
    }
    for (const char* required : {"icon", "name", "version"})
      if (options.values[required].empty())
        return usage(std::string("--") + required + " is required");
    if (options.files.size() != 2)
      return usage("name the launcher and the output file, in that order");
    return 0;
  }

  int usage(const std::string& why) {
    system_.writeStderr("tarvik-brand: " + why + "\n" + USAGE);
    return BRAND_USAGE;
  }
  int fail(int code, const std::string& why) {
    system_.writeStderr("tarvik-brand: " + why + "; nothing written\n");
    return code;
  }

  BrandSystem& system_;
};

}  // namespace

int runBrandTool(BrandSystem& system) {
  // The files read are bounded, and so is what is made of them; a machine
  // short of memory still gets a documented end, with nothing written.
  try {
    return Tool(system).run();
  } catch (const std::bad_alloc&) {
    system.writeStderr("tarvik-brand: not enough memory; nothing written\n");
    return BRAND_NO_MEMORY;
  }
}

}  // namespace brand
}  // namespace tarvik
