#include "launch/InstanceForwarding.h"

#include <cstdint>

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/Fnv64.h"
#include "support/Message.h"

namespace tarvik {

namespace {

void addLength(std::string& message, size_t length) {
  const uint32_t value = static_cast<uint32_t>(length);
  for (int shift = 24; shift >= 0; shift -= 8)
    message += static_cast<char>((value >> shift) & 0xff);
}

void addText(std::string& message, const std::string& text) {
  addLength(message, text.size());
  message += text;
}

// Java reads the endpoint in the system's encoding, and a socket's path
// has a fixed room: only a short path of printable ASCII is named.
bool isUsableEndpoint(const std::string& path) {
  if (path.size() > MAX_ENDPOINT_BYTES) return false;
  for (const char c : path)
    if (c < 0x20 || c > 0x7e) return false;
  return true;
}

}  // namespace

std::string instanceEndpointName(const std::string& instanceName) {
  Fnv64 hash;
  hash.add(instanceName);
  return "tarvik-" + hash.hex();
}

std::optional<std::string> forwardingMessage(
    const std::string& folder, const std::vector<std::string>& arguments) {
  if (arguments.size() > MAX_FORWARDED_ARGUMENTS) return std::nullopt;
  std::string message = "TVKA";
  message += '\x01';
  addText(message, folder);
  addLength(message, arguments.size());
  for (const std::string& argument : arguments) {
    if (argument.size() > MAX_FORWARDED_BYTES) return std::nullopt;
    addText(message, argument);
    if (message.size() > MAX_FORWARDED_BYTES) return std::nullopt;
  }
  if (message.size() > MAX_FORWARDED_BYTES) return std::nullopt;
  return message;
}

InstanceEndpoint instanceEndpoint(const std::string& name, bool create) {
  Platform& os = platform();
  const InstanceFolder folder = os.instanceFolder(create);
  if (!folder.path) return {std::nullopt, folder.errorText};
  std::string path = *folder.path;
  const char separator = os.conventions().separator;
  if (path.empty() || path.back() != separator) path += separator;
  path += instanceEndpointName(name);
  if (!isUsableEndpoint(path))
    return {std::nullopt, path + " cannot name a local socket (longer than " +
                              std::to_string(MAX_ENDPOINT_BYTES) +
                              " bytes, or not ASCII)"};
  return {path, std::string()};
}

std::vector<std::string> instanceEndpointOptions() {
  const std::string& endpoint = startup().instanceEndpoint;
  if (endpoint.empty()) return {};
  // Only this launch holds the claim, so nobody else listens there: what
  // stands there is what an earlier Java left. Removed unasked, for a
  // socket may be a file the system tells nothing of (Windows: a reparse
  // point).
  platform().removeFile(endpoint);
  return {"-D" + std::string(INSTANCE_ENDPOINT_PROPERTY) + "=" + endpoint};
}

bool handArgumentsToInstance(const std::string& name, int64_t heldMillis) {
  const std::string prefix = "singleInstance " + name + ": ";
  // Whether an instance claimed moments ago (and `waited` more) may still
  // be starting its Java.
  const auto starting = [heldMillis](int64_t waited) {
    return heldMillis >= 0 && heldMillis + waited < INSTANCE_START_MILLIS;
  };
  InstanceEndpoint endpoint = instanceEndpoint(name, false);
  if (!endpoint.path && (!endpoint.problem.empty() || !starting(0))) {
    if (!endpoint.problem.empty())
      writeLogNote(prefix + "no arguments handed over: " + endpoint.problem + "\n");
    return false;
  }
  const std::optional<std::string> message =
      forwardingMessage(startup().callerDir, settings().appArguments);
  if (!message) {
    writeLogNote(prefix + "no arguments handed over: more than " +
                 std::to_string(MAX_FORWARDED_ARGUMENTS) + " arguments or " +
                 std::to_string(MAX_FORWARDED_BYTES) + " bytes\n");
    return false;
  }
  // An instance claimed moments ago may still be starting its Java, which
  // listens only once it runs, or not even have made the folder of the
  // endpoints: launches made together (files opened at once) are taken
  // too. Asked again until the claim is as old as a start may take; an
  // older claim is asked once.
  InstanceHandOverResult handed;
  for (int64_t waited = 0;; waited += INSTANCE_RETRY_MILLIS) {
    if (!endpoint.path) endpoint = instanceEndpoint(name, false);
    if (endpoint.path)
      handed = platform().handToInstance(*endpoint.path, *message, HAND_OVER_TIMEOUT_MILLIS);
    else
      handed = {InstanceHandOver::NobodyListens, std::string()};
    if (handed.outcome != InstanceHandOver::NobodyListens || !starting(waited)) break;
    platform().sleepMillis(INSTANCE_RETRY_MILLIS);
  }
  if (handed.outcome == InstanceHandOver::Failed)
    writeLogNote(prefix + "no arguments handed over: " + handed.errorText + "\n");
  return handed.outcome == InstanceHandOver::Delivered;
}

}  // namespace tarvik
