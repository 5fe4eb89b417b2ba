#include "cache/VmOutputLog.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(VmOutputLogTest, TheConsolesTextWithoutTheVmsOwnElements) {
  const struct {
    const char* name;
    const char* log;
    const char* shown;
    bool ended;
  } cases[] = {
      {"nothing shown",
       "<hotspot_log>\n<tty>\n<writer thread='1'/>\n AOTConfiguration recorded: a.aotconf\n"
       "<statistics type='deoptimization'>\nDeoptimization traps recorded:\n</statistics>\n"
       "<tty_done stamp='0.7'/>\n</tty>\n</hotspot_log>\n",
       "", true},
      {"a message, its entities decoded",
       "<tty>\nWarning: &quot;a&quot; &amp; &apos;b&apos; &lt;c&gt;\n<writer thread='2'/>\nmore\n</tty>\n"
       "</hotspot_log>\n",
       "Warning: \"a\" & 'b' <c>\nmore\n", true},
      {"a VM that did not start: the log ends in the text",
       "<tty>\n\nThe Java thread stack size specified is too small. Specify at least 136k",
       "\nThe Java thread stack size specified is too small. Specify at least 136k", false},
      {"an element of one line", "<tty>\n<name>x</name>\ntext\n</tty>\n", "text\n", false},
      {"no console at all", "<hotspot_log>\n", "", false},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(textTheVmShowed(row.log), row.shown) << row.name;
    EXPECT_EQ(vmLogEnded(row.log), row.ended) << row.name;
  }
}

}  // namespace
}  // namespace tarvik
