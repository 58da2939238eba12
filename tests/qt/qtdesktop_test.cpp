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

class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UrlHandler, OnlyAnAssociatedProgramOrABrowserOpensALink) {
  test::TempFolder tmp;
  ScopedEnv home("HOME", tmp.File("home"));
  ScopedEnv configHome("XDG_CONFIG_HOME", tmp.Path());
  ScopedEnv configDirs("XDG_CONFIG_DIRS", tmp.File("none"));
  ScopedEnv dataHome("XDG_DATA_HOME", tmp.File("none"));
  ScopedEnv dataDirs("XDG_DATA_DIRS", tmp.File("none"));
  ScopedEnv path("PATH", tmp.File("bin"));
  ScopedEnv browser("BROWSER", std::nullopt);
  EXPECT_FALSE(HasUrlHandler("https://www.zorquan.de/"));
  EXPECT_FALSE(HasUrlHandler("mailto:info@zorquan.de"));
  EXPECT_FALSE(HasUrlHandler("no link"));

  test::WriteWholeFile(tmp.File("mimeapps.list"),
                       "[Default Applications]\nx-scheme-handler/mailto=mail.desktop\n");
  EXPECT_TRUE(HasUrlHandler("MAILTO:info@zorquan.de"));
  EXPECT_FALSE(HasUrlHandler("https://www.zorquan.de/"));
  {
    ScopedEnv some("BROWSER", "lynx");
    EXPECT_TRUE(HasUrlHandler("https://www.zorquan.de/"));
  }
}

}  // namespace
}  // namespace qern
