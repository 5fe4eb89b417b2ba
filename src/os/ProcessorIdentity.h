// The processor's identity as the backends read it: what a VM's generated
// code depends on. Included by the backends only.
#ifndef TARVIK_OS_PROCESSORIDENTITY_H
#define TARVIK_OS_PROCESSORIDENTITY_H

#include <cstdint>
#include <cstdio>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace tarvik {

// x86-64: the vendor, then in hexadecimal the signature (family, model,
// stepping) and the feature flags of cpuid's leaves 1 and 7. Leaf 1's EBX
// is left out: it holds the number of the core that runs the call. Other
// architectures: empty.
inline std::string processorIdentityFromCpuid() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return "";
  const unsigned int highestLeaf = eax;
  char vendor[13] = {};
  const unsigned int vendorWords[3] = {ebx, edx, ecx};
  for (int i = 0; i < 3; ++i)
    for (int b = 0; b < 4; ++b)
      vendor[i * 4 + b] = static_cast<char>((vendorWords[i] >> (8 * b)) & 0xff);
  std::string identity = vendor;
  const auto add = [&identity](unsigned int word) {
    char text[10];
    std::snprintf(text, sizeof text, " %08x", word);
    identity += text;
  };
  if (highestLeaf >= 1) {
    __cpuid_count(1, 0, eax, ebx, ecx, edx);
    add(eax);
    add(ecx);
    add(edx);
  }
  if (highestLeaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    add(ebx);
    add(ecx);
    add(edx);
  }
  return identity;
#else
  return "";
#endif
}

}  // namespace tarvik

#endif  // TARVIK_OS_PROCESSORIDENTITY_H
