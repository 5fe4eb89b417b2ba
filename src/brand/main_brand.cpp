// The tarvik-brand process entry, the same on every system.
#include "brand/BrandSystem.h"
#include "brand/BrandTool.h"

int main(int argc, char** argv) {
  std::unique_ptr<tarvik::brand::BrandSystem> system = tarvik::brand::makeBrandSystem(argc, argv);
  return tarvik::brand::runBrandTool(*system);
}
