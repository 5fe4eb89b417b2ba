#include "Version.h"

namespace tarvik {

std::string identificationFor(const std::string& buildDate,
                              const std::string& buildTime) {
  // __DATE__ already has the form "Mmm dd yyyy" with the day padded by a
  // blank, which is the form the identification string shows. (Made in
  // room for all of it: every launch writes it.)
  std::string text;
  text.reserve(64 + buildDate.size() + buildTime.size());
  text += "@(#)src/Tarvik Version: ";
  text += LAUNCHER_VERSION;
  text += " Dovrel Compiled: ";
  text += buildDate;
  text += " at ";
  text += buildTime;
  return text;
}

const std::string& identificationString() {
  static const std::string text = identificationFor(__DATE__, __TIME__);
  return text;
}

}  // namespace tarvik
