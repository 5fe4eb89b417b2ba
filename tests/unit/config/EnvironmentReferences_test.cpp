#include "config/EnvironmentReferences.h"

#include <gtest/gtest.h>

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

class EnvironmentReferencesTest : public LauncherTest {
 protected:
  EnvironmentReferencesTest() {
    os.env["HOME"] = "C:\\Program Files\\x";
    os.env["PLAIN"] = "C:\\data";
    os.env["DIR"] = "C:\\data\\";
    os.env["FWD"] = "C:/data/";
    os.env["EMPTY"] = "";
    os.env["A"] = "a";
    os.env["NEST"] = "$PLAIN\\lib";
    os.env["Inner"] = "should not be used in most cases";
    os.pid = 4242;
  }
};

TEST_F(EnvironmentReferencesTest, ExpansionTable) {
  os.env.erase("Inner");
  struct Case {
    const char* text;
    bool quote;
    const char* expected;
  } cases[] = {
      {"", true, ""},
      {"C:\\no\\dollar", true, "C:\\no\\dollar"},
      {"$HOME\\bin\\java", true, "\"C:/Program Files/x/bin/java\""},
      {"-Dh=$HOME", true, "-Dh=\"C:/Program Files/x\""},
      {"$HOME", false, "C:/Program Files/x"},
      // An '=' before the '$' switches quoting on by itself.
      {"-Dh=$HOME", false, "-Dh=\"C:/Program Files/x\""},
      // An '=' after the '$' quotes only the value.
      {"$HOME/a=b", true, "\"C:/Program Files/x/a=b\""},
      {"$PLAIN\\lib", true, "C:/data/lib"},
      {"$DIR\\lib", true, "C:/data/lib"},        // separator not doubled
      {"$FWD/lib", true, "C:/data/lib"},
      {"$DIR", true, "C:/data/"},                // end of text keeps it
      {"$EMPTY/lib", true, "/lib"},
      {"com.acme.Outer$Inner", false, "com.acme.Outer$Inner"},
      {"$HOME and more", true, "$HOME and more"},
      {"$A/$B", true, "a/$B"},
      {"$A/x\\$B", true, "$A/x\\$B"},  // a backslash wins: name is "A/x"
      {"$pid", true, "4242"},
      {"\"$pid\"", true, "\"4242\""},
      {"-Dp=\"$pid\"", true, "-Dp=\"4242\""},
      {"x\\y$A", true, "x/ya"},        // slashes turn only after a pass
      {"x\\y$Unset", true, "x\\y$Unset"},
      {"$NEST/more", true, "C:/data/lib/more"},  // values are scanned again
      {"$A$A", true, "$A$A"},          // the name runs to the end
      {"$", true, "$"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(expandEnvironmentReferences(c.text, c.quote), c.expected)
        << c.text << " quote=" << c.quote;
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_TRUE(os.err.empty());
}

TEST_F(EnvironmentReferencesTest, ANameCutAtAQuoteKeepsTheQuote) {
  // The text from the quote on stays, so a quoted reference stays balanced.
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"\"$PLAIN\"", "\"C:/data\""},
      {"\"$PLAIN\"/lib", "\"C:/data\"/lib"},
      {"\"$DIR\"\\lib", "\"C:/data/\"/lib"},
      {"\"$pid\"x/y", "\"4242\"x/y"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(expandEnvironmentReferences(c.text, false), c.expected) << c.text;
}

TEST_F(EnvironmentReferencesTest, SpacedValuesInSeveralPasses) {
  os.env["S"] = "a b";
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      // Each spaced pass adds its quotes around the whole text.
      {"$S/$S", "\"\"a b/a b\"\""},
      {"-Dx=$S/$S", "-Dx=\"a b/\"a b\"\""},
      {"$S/$Unset", "\"a b/$Unset\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(expandEnvironmentReferences(c.text, true), c.expected) << c.text;
}

TEST_F(EnvironmentReferencesTest, AnEnvironmentPidWinsOverTheProcessId) {
  os.env["pid"] = "from-env";
  EXPECT_EQ(expandEnvironmentReferences("$pid", true), "from-env");
}

TEST_F(EnvironmentReferencesTest, SelfReferenceStopsAtTheBound) {
  os.env["LOOP"] = "$LOOP/x";
  std::string result = expandEnvironmentReferences("$LOOP", true);
  // 1 expansion of the caller's reference and 64 nested ones.
  std::string expected = "$LOOP";
  for (int i = 0; i < 65; ++i) expected += "/x";
  EXPECT_EQ(result, expected);
  EXPECT_EQ(os.err,
            "Stopped expanding $LOOP: references nested more than 64 deep "
            "(does a value refer back to itself?)\n");
}

TEST_F(EnvironmentReferencesTest, MutualReferenceStopsToo) {
  os.env["P"] = "$Q";
  os.env["Q"] = "$P";
  // 65 expansions, an odd number: P's value is left.
  EXPECT_EQ(expandEnvironmentReferences("$P", true), "$Q");
  EXPECT_NE(os.err.find("Stopped expanding $Q"), std::string::npos);
}

// Found by fuzzing the configuration reader: each line that sets a
// self-referring variable again made it 64 times longer, until a few lines
// had used up the memory.
TEST_F(EnvironmentReferencesTest, GrowthStopsAtOneMebibyte) {
  os.env["X"] = std::string(20000, 'a') + "$X";
  std::string result = expandEnvironmentReferences("<$X", true);
  // 52 copies fit into the growth of 1 MiB, the 53rd would not.
  EXPECT_EQ(result.size(), 1u + 52 * 20000 + 2);
  EXPECT_EQ(result.substr(result.size() - 2), "$X");
  EXPECT_EQ(os.err,
            "Stopped expanding $X: the text would grow by more than 1048576 "
            "characters (does a value refer back to itself?)\n");

  // Setting it again and again stays bounded.
  os.err.clear();
  os.env["X"] = "ab$X";
  for (int line = 0; line < 8; ++line)
    os.env["X"] = expandEnvironmentReferences("c$X", false);
  EXPECT_LE(os.env["X"].size(), (1u << 20) + 4);
  EXPECT_NE(os.err.find("grow by more than"), std::string::npos);
}

TEST_F(EnvironmentReferencesTest, ManyReferencesInOneTextAllExpand) {
  // Far more than the nesting bound, each from the caller's own text.
  std::string text, expected;
  for (int i = 0; i < 100000; ++i) {
    text += "$A/";
    expected += "a/";
  }
  EXPECT_EQ(expandEnvironmentReferences(text, true), expected);
  EXPECT_TRUE(os.err.empty());
}

TEST_F(EnvironmentReferencesTest, LongNamesAndResultsAreKeptWhole) {
  const std::string name(5000, 'N');
  const std::string value(20000, 'v');
  os.env[name] = value;
  EXPECT_EQ(expandEnvironmentReferences("pre/$" + name + "/post", true),
            "pre/" + value + "/post");
  const std::string big(10 << 20, 'x');
  EXPECT_EQ(expandEnvironmentReferences(big + "$A", true), big + "a");
}

TEST_F(EnvironmentReferencesTest, DebugBoxesFollowEachPass) {
  opt.debugMode = 1;
  expandEnvironmentReferences("-Dp=$A/$Missing", true);
  std::vector<RecordedBox> expected = {
      {"Found variable", "A", MB_STYLE_OK},
      {"Parse Path", "arg [-Dp=$A/$Missing] expanded to [-Dp=a/$Missing]\n",
       MB_STYLE_OK},
      {"Found variable", "Missing", MB_STYLE_OK},
      {"Can't find variable", "Missing", MB_STYLE_OK},
  };
  EXPECT_EQ(os.boxes, expected);
}

TEST_F(EnvironmentReferencesTest, ParsePathShowsTheTextBeforeSlashesTurn) {
  opt.debugMode = 1;
  expandEnvironmentReferences("x\\$PLAIN", true);
  ASSERT_EQ(os.boxes.size(), 2u);
  EXPECT_EQ(os.boxes[1].text, "arg [x\\$PLAIN] expanded to [x\\C:\\data]\n");
}

TEST_F(EnvironmentReferencesTest, ParsePathTextIsCut) {
  opt.debugMode = 1;
  const std::string big(5000, 'y');
  expandEnvironmentReferences(big + "$A", true);
  ASSERT_EQ(os.boxes.size(), 2u);
  EXPECT_EQ(os.boxes[1].text.size(), 3035u);
  EXPECT_EQ(os.boxes[1].text, ("arg [" + big).substr(0, 3035));
}

TEST_F(EnvironmentReferencesTest, NoBoxesOutsideDebugModeEvenWhenNotQuiet) {
  expandEnvironmentReferences("$Missing", true);
  EXPECT_TRUE(os.boxes.empty());
  // Debug boxes do not look at quiet mode: the entry clears debug mode.
  opt.debugMode = 1;
  opt.quietMode = true;
  expandEnvironmentReferences("$Missing", true);
  EXPECT_EQ(os.boxes.size(), 2u);
}

}  // namespace
}  // namespace tarvik
