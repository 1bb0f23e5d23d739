// The program as a user runs it: its command line, headless and windowed
// play to the end of the show, and stills.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/png.h"
#include "support/fixture_bundle.h"
#include "support/process.h"

namespace {

const auto bundle = fixture::plain_bundle;

using fixture::velmora;

int count_lines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

TEST(CommandLine, HelpAndVersion) {
  const auto help = velmora({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word :
       {"still", "--headless", "--from", "--portrait", "--scale", "--fullscreen", "--loop", "--quiet", "--assets"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  const auto still_help = velmora({"still", "--help"});
  EXPECT_EQ(still_help.status, 0);
  EXPECT_NE(still_help.out.find("--at"), std::string::npos);

  const auto version = velmora({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("velmora ", 0), 0u);
}

TEST(CommandLine, UsageErrorsExitTwoWithOneLineAndAHintAtTheCommandsHelp) {
  struct Case {
    std::vector<std::string> args;
    const char* help;
  };
  const Case cases[] = {
      {{"--bogus"}, "velmora"},
      {{"--scale", "0"}, "velmora"},
      {{"play", "--from", "abc"}, "velmora play"},
      {{"still", "--out", "x.png"}, "velmora still"},
      {{"still", "--at", "500", "--out", "x.png"}, "velmora still"},
      {{"capture", "--out", "x.avi"}, "velmora capture"},
      {{"bench", "--from", "60", "--to", "50"}, "velmora bench"},
  };
  for (const Case& c : cases) {
    const auto r = velmora(c.args);
    EXPECT_EQ(r.status, 2) << c.args[0];
    EXPECT_EQ(count_lines(r.err), 2) << r.err;
    EXPECT_NE(r.err.find(std::string("\nRun '") + c.help + " --help' for more information.\n"), std::string::npos)
        << r.err;
  }
  // A mistyped option is answered with the nearest known one.
  EXPECT_NE(velmora({"--fom", "5"}).err.find("did you mean --from?"), std::string::npos);
  EXPECT_NE(velmora({"still", "--att", "5", "--out", "x.png"}).err.find("did you mean --at?"), std::string::npos);
}

TEST(CommandLine, AMissingBundleIsNamed) {
  const auto r = velmora({"--headless", "--assets", "/nonexistent/velmora-bundle"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/nonexistent/velmora-bundle"), std::string::npos) << r.err;
  EXPECT_EQ(count_lines(r.err), 1);
}

// Headless and windowed runs to the end of the show are in the closing
// scenes' tests, which play the last scene with the generated bundle.

TEST(Play, NoDisplayIsExplained) {
  const auto r = velmora({"--assets", bundle().string()}, {"DISPLAY=", "WAYLAND_DISPLAY="});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("still"), std::string::npos) << r.err;
  EXPECT_EQ(count_lines(r.err), 1) << r.err;
}

TEST(Play, AScaleTheDesktopCannotHoldIsReducedWithOneLine) {
  fixture::XvfbServer x;
  if (!x.available()) GTEST_SKIP() << "Xvfb is not available";
  const auto r = velmora({"--scale", "16", "--from", "189.9", "--assets", bundle().string()}, {"DISPLAY=" + x.display()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "velmora: --scale 16 is larger than the desktop holds; the window is 3 times the picture\n");
}

TEST(Still, WritesLandscapeByDefaultAndPortraitOnRequest) {
  const auto dir = fixture::make_temp_dir("cli-still");
  for (const bool portrait : {false, true}) {
    const auto out = (dir / (portrait ? "p.png" : "l.png")).string();
    std::vector<std::string> args = {"still", "--at", "3", "--out", out, "--assets", bundle().string()};
    if (portrait) args.push_back("--portrait");
    const auto r = velmora(args);
    ASSERT_EQ(r.status, 0) << r.err;
    platform::PngReader png;
    ASSERT_TRUE(png.open(out));
    EXPECT_EQ(png.width(), portrait ? 320 : 480);
    EXPECT_EQ(png.height(), portrait ? 480 : 320);
  }
  // The pictures alone: no temporary file of a write is left beside them.
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"l.png", "p.png"}));
}

TEST(Still, AnUnwritableOutputIsNamed) {
  const auto r = velmora({"still", "--at", "1", "--out", "/nonexistent/dir/x.png", "--assets", bundle().string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/nonexistent/dir/x.png"), std::string::npos) << r.err;
}

}  // namespace
