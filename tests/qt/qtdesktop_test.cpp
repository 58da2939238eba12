// Whether the desktop has a program for a link: without one the link is not handed on, so the
// program can say so instead of doing nothing visible.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/qt/qtdesktop.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

TEST(UrlHandler, OnlyAnAssociatedProgramOrABrowserOpensALink) {
  test::TempFolder tmp;
  test::ScopedEnv home("HOME", tmp.File("home"));
  test::ScopedEnv configHome("XDG_CONFIG_HOME", tmp.Path());
  test::ScopedEnv configDirs("XDG_CONFIG_DIRS", tmp.File("none"));
  test::ScopedEnv dataHome("XDG_DATA_HOME", tmp.File("none"));
  test::ScopedEnv dataDirs("XDG_DATA_DIRS", tmp.File("none"));
  test::ScopedEnv path("PATH", tmp.File("bin"));
  test::ScopedEnv browser("BROWSER", std::nullopt);
  EXPECT_FALSE(HasUrlHandler("https://www.zorquan.de/"));
  EXPECT_FALSE(HasUrlHandler("mailto:info@zorquan.de"));
  EXPECT_FALSE(HasUrlHandler("no link"));

  test::WriteWholeFile(tmp.File("mimeapps.list"),
                       "[Default Applications]\nx-scheme-handler/mailto=mail.desktop\n");
  EXPECT_TRUE(HasUrlHandler("MAILTO:info@zorquan.de"));
  EXPECT_FALSE(HasUrlHandler("https://www.zorquan.de/"));
  {
    test::ScopedEnv some("BROWSER", "lynx");
    EXPECT_TRUE(HasUrlHandler("https://www.zorquan.de/"));
  }
}

}  // namespace
}  // namespace qern
