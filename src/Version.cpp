#include "Version.h"

namespace tarvik {

std::string identificationFor(const std::string& buildDate,
                              const std::string& buildTime) {
  // __DATE__ already has the form "Mmm dd yyyy" with the day padded by a
  // blank, which is the form the identification string shows.
  return std::string("@(#)src/Tarvik Version: ") + LAUNCHER_VERSION +
         " Dovrel Compiled: " + buildDate + " at " + buildTime;
}

const std::string& identificationString() {
  static const std::string text = identificationFor(__DATE__, __TIME__);
  return text;
}

}  // namespace tarvik
