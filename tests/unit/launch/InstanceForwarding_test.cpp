#include "launch/InstanceForwarding.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

// The endpoint's name is what a first and a second launch of different
// versions must agree on: stable, short, and of safe characters whatever
// the instance's name holds.
TEST(InstanceForwardingTest, TheEndpointIsNamedFromTheInstancesKey) {
  struct Case {
    std::string name;
    std::string endpoint;
  } cases[] = {
      {"acme", "tarvik-1a7259393f7cd1d0"},
      {"Acme", "tarvik-3609384493d38230"},
      {"Acme Tool", "tarvik-19e8a462f2a460f0"},
      {std::string(200, 'x'), "tarvik-3631cd0d06f4900e"},
      {"a:b*?\"<>|\xC3\xA9", "tarvik-4e3b8c5af441e7f8"},
  };
  for (const Case& c : cases) EXPECT_EQ(instanceEndpointName(c.name), c.endpoint) << c.name;
}

// The framing the library reads, and the bounds both sides keep.
TEST(InstanceForwardingTest, MessagesAreFramedAndBounded) {
  const std::string big(MAX_FORWARDED_BYTES - 100, 'x');
  struct Case {
    std::string name;
    std::string folder;
    std::vector<std::string> arguments;
    std::optional<std::string> message;
  } cases[] = {
      {"none", "/d", {}, std::string("TVKA\x01\0\0\0\x02/d\0\0\0\0", 15)},
      {"words", "/", {"a", "", "c d"},
       std::string("TVKA\x01\0\0\0\x01/\0\0\0\x03\0\0\0\x01" "a\0\0\0\0\0\0\0\x03" "c d", 30)},
      {"as many as allowed", "/", std::vector<std::string>(MAX_FORWARDED_ARGUMENTS, ""),
       std::nullopt},
      {"one too many", "/", std::vector<std::string>(MAX_FORWARDED_ARGUMENTS + 1, ""),
       std::nullopt},
      {"within the bytes", "/", {big}, std::nullopt},
      {"beyond the bytes", "/", {big, big}, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> message = forwardingMessage(c.folder, c.arguments);
    const bool fits = c.name != "one too many" && c.name != "beyond the bytes";
    ASSERT_EQ(message.has_value(), fits) << c.name;
    if (c.message) {
      EXPECT_EQ(*message, *c.message) << c.name;
    }
  }
}

}  // namespace
}  // namespace tarvik
