#include "runtime/VersionRequest.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(VersionRequest, MatchesEveryFormOnWholeNumbers) {
  struct Case {
    const char* request;
    const char* version;  // nullptr: unknown
    bool matches;
  } cases[] = {
      // Families, as the registry road has always read them.
      {"17", "17.0.9", true},
      {"17", "17", true},
      {"17", "170", false},
      {"17", "1.7.0", false},
      {"1.8", "1.8.0_392", true},
      {"1.8", "1.80_1", false},
      {"1.8", "8", false},
      {"17.0", "17.0.9", true},
      // Exactly one version.
      {"1.8.0_392", "1.8.0_392", true},
      {"1.8.0_392", "1.8.0_39", false},
      {"1.8.0_392", "1.8.0_3921", false},
      // A family with an update at least.
      {"1.8.0_45+", "1.8.0_45", true},
      {"1.8.0_45+", "1.8.0_392", true},
      {"1.8.0_45+", "1.8.0_44", false},
      {"1.8.0_45+", "1.8.1_99", false},
      {"17_10+", "17.0.15", true},
      {"17_10+", "17.0.9", false},
      // That version or later.
      {"17+", "17", true},
      {"17+", "21.0.5", true},
      {"17+", "11.0.21", false},
      {"17+", "1.8.0_392", false},
      {"17.0.9+", "17.0.10", true},
      {"17.0.9+", "17.0.8", false},
      {"17.0.9+", "17", false},
      {"1.8+", "1.8.0_5", true},
      {"1.8+", "11", true},
      {"1.8+", "1.7.0_80", false},
      // Feature ranges, both ends included.
      {"11..21", "11", true},
      {"11..21", "21.0.5", true},
      {"11..21", "17.0.9", true},
      {"11..21", "22", false},
      {"11..21", "1.8.0_392", false},
      {"1.8..11", "1.8.0_392", true},
      {"21..11", "17", false},
      // Unknown versions fit nothing; neither do texts of no form.
      {"17", nullptr, false},
      {"17+", nullptr, false},
      {"11..21", nullptr, false},
      {"17", "abc", false},
  };
  for (const Case& c : cases) {
    std::optional<VersionRequest> request = VersionRequest::parse(c.request);
    ASSERT_TRUE(request) << c.request;
    std::optional<std::string> version;
    if (c.version) version = c.version;
    EXPECT_EQ(request->matches(version), c.matches)
        << c.request << " against " << (c.version ? c.version : "unknown");
  }
  for (const char* none : {"", "+", "..", "17..", "..17", "abc", "17x", "1.8.0_x",
                           "17++", "1..8..9"})
    EXPECT_FALSE(VersionRequest::parse(none)) << none;
}

TEST(VersionRequest, OrdersOldAndNewSchemesTogether) {
  struct Case {
    const char* older;
    const char* newer;
  } cases[] = {
      {"1.8.0_392", "9"},     {"1.8.0_392", "11.0.2"}, {"17.0.9", "17.0.10"},
      {"17", "17.0.1"},       {"1.8.0_45", "1.8.0_392"}, {"21.0.5", "21.0.5.11"},
  };
  for (const Case& c : cases) {
    EXPECT_LT(compareVersions(c.older, c.newer), 0) << c.older << " " << c.newer;
    EXPECT_GT(compareVersions(c.newer, c.older), 0) << c.newer << " " << c.older;
  }
  EXPECT_EQ(compareVersions("17", "17.0.0"), 0);
  EXPECT_EQ(versionOfName("zulu-17"), "17");
  EXPECT_EQ(versionOfName("hotspot"), std::nullopt);
}

}  // namespace
}  // namespace tarvik
