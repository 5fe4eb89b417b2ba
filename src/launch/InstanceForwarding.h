// Arguments handed to the running instance (singleInstance): the first
// launch names an endpoint to its Java, where tarvik-instance.jar listens;
// a second launch sends its arguments there.
#ifndef TARVIK_LAUNCH_INSTANCEFORWARDING_H
#define TARVIK_LAUNCH_INSTANCEFORWARDING_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// The system property that tells the library where to listen.
constexpr const char* INSTANCE_ENDPOINT_PROPERTY = "tarvik.instance";

// The bounds of one message, which the library keeps too: the arguments,
// and the bytes of the whole message.
constexpr size_t MAX_FORWARDED_ARGUMENTS = 4096;
constexpr size_t MAX_FORWARDED_BYTES = 1u << 20;
// The longest path a local socket takes (sun_path holds 108 bytes with its
// terminator, on Linux and on Windows alike).
constexpr size_t MAX_ENDPOINT_BYTES = 107;
// How long a second launch waits for the instance's acknowledgement.
constexpr int HAND_OVER_TIMEOUT_MILLIS = 5000;
// How old a claim may be whose Java is taken to be still starting: until
// then a second launch asks it again, so often, until it listens. A Java
// application may take seconds to reach its listener, more on a busy
// machine.
constexpr int INSTANCE_START_MILLIS = 15000;
constexpr int INSTANCE_RETRY_MILLIS = 100;

// The endpoint's file name for an instance name: short and of safe
// characters whatever the name holds.
std::string instanceEndpointName(const std::string& instanceName);

// The message that hands `arguments`, typed in `folder`, to the running
// instance: "TVKA", version 1, the folder, the count of arguments and each
// argument, every text a 32-bit big-endian length and its UTF-8 bytes.
// Nothing when the arguments pass the bounds.
std::optional<std::string> forwardingMessage(
    const std::string& folder, const std::vector<std::string>& arguments);

// The endpoint of the instance `name` (its folder made first with
// `create`), or why there is none.
struct InstanceEndpoint {
  std::optional<std::string> path;
  std::string problem;
};
InstanceEndpoint instanceEndpoint(const std::string& name, bool create);

// The VM options that tell a Java about to start where to listen, the
// endpoint made ready for it (what an earlier Java left there removed);
// none when this launch claimed no instance, or it has no endpoint.
std::vector<std::string> instanceEndpointOptions();

// Hands this launch's command-line arguments to the running instance
// `name`, claimed `heldMillis` ago (-1: not known); true when it
// acknowledged them. A failure other than nobody listening is a line in
// the -log file.
bool handArgumentsToInstance(const std::string& name, int64_t heldMillis);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_INSTANCEFORWARDING_H
