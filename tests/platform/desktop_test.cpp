// Desktop associations from the XDG files (default, added and cached entries count; removed
// ones and other types do not), the hooks that open files and links, and link escaping.
#include "platform/desktop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/process.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : Vars) {
      if (const char* old = std::getenv(v)) saved_.emplace_back(v, old);
      ::setenv(v, tmp_.File(v).c_str(), 1);
    }
  }
  void TearDown() override {
    for (const char* v : Vars) ::unsetenv(v);
    for (const auto& [name, value] : saved_) ::setenv(name, value.c_str(), 1);
    SetDesktopHooks({});
  }
  void Write(const std::string& relative, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(tmp_.File(relative)).parent_path());
    test::WriteWholeFile(tmp_.File(relative), text);
  }
  static constexpr const char* Vars[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                                         "XDG_DATA_DIRS"};
  test::TempFolder tmp_;
  std::vector<std::pair<const char*, std::string>> saved_;
};

TEST_F(DesktopTest, AssociationsFromTheXdgFiles) {
  const std::string sheet = "application/vnd.oasis.opendocument.spreadsheet";
  EXPECT_FALSE(HasAssociatedProgram(sheet));
  Write("XDG_CONFIG_HOME/mimeapps.list",
        "[Removed Associations]\n" + sheet + "=calc.desktop;\n[Default Applications]\ntext/plain=\n");
  EXPECT_FALSE(HasAssociatedProgram(sheet));
  EXPECT_FALSE(HasAssociatedProgram("text/plain"));
  Write("XDG_DATA_DIRS/applications/mimeinfo.cache", "[MIME Cache]\n" + sheet + "=calc.desktop;\n");
  EXPECT_TRUE(HasAssociatedProgram(sheet));
  Write("XDG_CONFIG_DIRS/mimeapps.list", "[Added Associations]\n text/csv = gnumeric.desktop\n");
  EXPECT_TRUE(HasAssociatedProgram("text/csv"));
  EXPECT_FALSE(HasAssociatedProgram("text/cs"));
  EXPECT_EQ(MimeAssociationFiles().front(), tmp_.File("XDG_CONFIG_HOME") + "/mimeapps.list");
}

TEST_F(DesktopTest, HooksOpenFilesAndLinks) {
  std::vector<std::string> seen;
  SetDesktopHooks({[&](const std::string& f) { seen.push_back("file " + f); return true; },
                   [&](const std::string& u) { seen.push_back("url " + u); return false; }});
  EXPECT_TRUE(OpenWithDesktop("/tmp/a b.xlsx"));
  EXPECT_FALSE(OpenUrl("mailto:x@y.z"));
  EXPECT_EQ(seen, (std::vector<std::string>{"file /tmp/a b.xlsx", "url mailto:x@y.z"}));
  EXPECT_EQ(UrlEncode("QERN V1.0 ä&?"), "QERN%20V1.0%20%C3%A4%26%3F");
}

TEST_F(DesktopTest, LinksAsAPersonReadsThem) {
  EXPECT_EQ(UrlDecode("QERN%20V1.0%20%C3%A4%26%3F"), "QERN V1.0 ä&?");
  EXPECT_EQ(UrlDecode("100% %4x %e4%"), "100% %4x \xE4%");
  EXPECT_EQ(UrlDecode(UrlEncode("Grüße & Dank 50%")), "Grüße & Dank 50%");
  EXPECT_EQ(ReadableLink("mailto:info@zorquan.de?subject=QERN%20V1.0"),
            "info@zorquan.de, Betreff: QERN V1.0");
  EXPECT_EQ(ReadableLink("MAILTO:a%40b@c.de?body=x&Subject=M%C3%BCller%20%26%20Co"),
            "a@b@c.de, Betreff: Müller & Co");
  EXPECT_EQ(ReadableLink("mailto:x@y.z"), "x@y.z");
  EXPECT_EQ(ReadableLink("mailto:"), "");
  // Web addresses are read as they are.
  EXPECT_EQ(ReadableLink("https://www.zorquan.de/a%20b?subject=x"),
            "https://www.zorquan.de/a%20b?subject=x");
}

// A configured program that exists is started; a Windows program that does not exist here hands
// the file to the desktop; any other missing program opens nothing.
TEST_F(DesktopTest, WindowsProgramsFallBackToTheDesktop) {
  for (const char* p : {"notepad.exe", "C:\\WINDOWS\\WRITE.EXE", "c:\\Programme\\x", "D:x",
                        " mspaint.EXE "})
    EXPECT_TRUE(NamesWindowsProgram(p)) << p;
  for (const char* p : {"", "/usr/bin/true", "kate", "/opt/gravura/wgravura", "exe", ":x"})
    EXPECT_FALSE(NamesWindowsProgram(p)) << p;

  std::vector<std::string> opened;
  bool desktopOpens = true;
  SetDesktopHooks({[&](const std::string& f) {
                     opened.push_back(f);
                     return desktopOpens;
                   },
                   {}});
  const std::string marker = tmp_.File("started");
  const std::string script = tmp_.File("prog.sh");
  test::WriteWholeFile(script, "#!/bin/sh\ntouch \"$1\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  EXPECT_EQ(OpenWithProgram(script, marker), OpenedWith::Program);
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) ::usleep(10000);
  EXPECT_TRUE(std::filesystem::exists(marker));
  EXPECT_EQ(OpenWithProgram("c:\\Programme\\Internet Explorer\\Iexplore.exe", "/tmp/l.htm"),
            OpenedWith::Desktop);
  EXPECT_EQ(OpenWithProgram("/no/such/program", "/tmp/l.txt"), OpenedWith::Nothing);
  desktopOpens = false;
  EXPECT_EQ(OpenWithProgram("notepad.exe", "/tmp/l.txt"), OpenedWith::Nothing);
  EXPECT_EQ(opened, (std::vector<std::string>{"/tmp/l.htm", "/tmp/l.txt"}));
}

}  // namespace
}  // namespace qern
