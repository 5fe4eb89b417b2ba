// The log a JVM keeps of its own console output (-XX:+LogVMOutput
// -XX:LogFile=...) while a training run hides that output from the
// application's streams.
//
// The log is XML: the VM's console text is the character data of its
// <tty> element, between elements of the VM's own (<writer/>, <blob>,
// <statistics> and the like) that were never shown.
#ifndef TARVIK_CACHE_VMOUTPUTLOG_H
#define TARVIK_CACHE_VMOUTPUTLOG_H

#include <string>

namespace tarvik {

// What the VM would have shown on its console, with the line a training
// run adds at its end left out; empty when it showed nothing.
std::string textTheVmShowed(const std::string& log);

// Whether the VM closed the log: it ran to its end, and what it writes at
// its exit is on disk.
bool vmLogEnded(const std::string& log);

}  // namespace tarvik

#endif  // TARVIK_CACHE_VMOUTPUTLOG_H
