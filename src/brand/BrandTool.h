// The tarvik-brand command: its switches, its messages and exit codes.
#ifndef TARVIK_BRAND_BRANDTOOL_H
#define TARVIK_BRAND_BRANDTOOL_H

#include "brand/BrandSystem.h"

namespace tarvik {
namespace brand {

enum BrandExitCode {
  BRAND_OK = 0,            // written (perhaps with a warning)
  BRAND_USAGE = 2,         // switches missing or wrong, a bad version, strings too long
  BRAND_BAD_LAUNCHER = 3,  // not a PE32+ Tarvik launcher, damaged, or too large
  BRAND_BAD_ICON = 4,      // no icon, a damaged, truncated or too large one
  BRAND_CANNOT_WRITE = 5,  // the output could not be written
  BRAND_NO_MEMORY = 6,     // the machine had too little memory
};

int runBrandTool(BrandSystem& system);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_BRANDTOOL_H
