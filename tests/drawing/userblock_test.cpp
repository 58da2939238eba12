// The user's block files by name: the exact name first, else the first case variant; every change
// of the folder seen at once, an unchanged folder listed once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cadtest.h"
#include "drawing/userblock.h"

namespace qern::test {
namespace {

class UserBlockTest : public CadTest {
 protected:
  std::string Put(const std::string& name) {
    WriteFileLines(tmp_.File(name), {"  0", "EOF"});
    return tmp_.File(name);
  }
  // The folder as last changed an hour ago, so that its listing may be kept.
  void Settle(const std::string& folder) {
    timespec times[2]{};
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
  }
};

TEST_F(UserBlockTest, ExactNameFirstElseTheFirstCaseVariant) {
  const std::string upper = Put("$LOGO_1.dx$"), lower = Put("$logo_1.dx$"), head = Put("$Kopf.dx$");
  ::mkdir(tmp_.File("$ordner.dx$").c_str(), 0700);
  for (bool settled : {false, true}) {
    if (settled) Settle(tmp_.Path());
    EXPECT_EQ(CadUserBlockFile("logo_1"), lower);
    EXPECT_EQ(CadUserBlockFile("LOGO_1"), upper);
    EXPECT_EQ(CadUserBlockFile("Logo_1"), upper) << "the first in byte order";
    EXPECT_EQ(CadUserBlockFile("KOPF"), head);
    EXPECT_EQ(CadUserBlockFile("ordner"), "") << "a folder is no block file";
    EXPECT_EQ(CadUserBlockFile("logo"), "");
    EXPECT_EQ(CadUserBlockFile("logo_*"), "");
  }
}

TEST_F(UserBlockTest, EveryChangeOfTheFolderIsSeen) {
  for (bool settled : {false, true}) {
    SCOPED_TRACE(settled);
    if (settled) Settle(tmp_.Path());
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), "");
    // At once, within the same tick of the folder's time stamp.
    const std::string file = Put("$Logo_2.dx$");
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), file);
    if (settled) Settle(tmp_.Path());
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), file);
    // Replaced by a folder of the same name: kept names are asked again.
    std::filesystem::remove(file);
    ::mkdir(file.c_str(), 0700);
    if (settled) Settle(tmp_.Path());
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), "");
    std::filesystem::remove(file);
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), "");
    // Another folder behind the same name.
    const std::string other = tmp_.File("other");
    std::filesystem::create_directory(other);
    WriteFileLines(other + "/$lOGO_2.dx$", {"  0", "EOF"});
    Settle(other);
    Settings.TempFolder = tmp_.File("current/");
    std::filesystem::create_directory(tmp_.File("current"));
    Settle(tmp_.File("current"));
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), "");
    std::filesystem::rename(tmp_.File("current"), tmp_.File("old"));
    std::filesystem::rename(other, tmp_.File("current"));
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), tmp_.File("current/$lOGO_2.dx$"));
    std::filesystem::remove_all(tmp_.File("current"));
    std::filesystem::remove_all(tmp_.File("old"));
    Settings.TempFolder = AddBackslash(tmp_.Path());
  }
}

TEST_F(UserBlockTest, TheCurrentFolderFollowsAChangeOfFolder) {
  const std::string a = tmp_.File("a"), b = tmp_.File("b");
  std::filesystem::create_directory(a);
  std::filesystem::create_directory(b);
  WriteFileLines(a + "/$Logo_3.dx$", {"  0", "EOF"});
  WriteFileLines(b + "/$lOGO_3.dx$", {"  0", "EOF"});
  Settle(a);
  Settle(b);
  const auto cwd = std::filesystem::current_path();
  Settings.TempFolder = "";
  std::filesystem::current_path(a);
  EXPECT_EQ(CadUserBlockFile("LOGO_3"), "$Logo_3.dx$");
  std::filesystem::current_path(b);
  EXPECT_EQ(CadUserBlockFile("LOGO_3"), "$lOGO_3.dx$");
  std::filesystem::current_path(cwd);
}

TEST_F(UserBlockTest, AnUnchangedFolderIsListedOnce) {
  for (int i = 0; i < 200; ++i) Put("d" + std::to_string(i) + ".qrk");
  const std::string logo = Put("$logo_1.dx$");
  Settle(tmp_.Path());
  const long before = UserBlockFolderListings();
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(CadUserBlockFile("LOGO_2"), "");
    EXPECT_EQ(CadUserBlockFile("LOGO_1"), logo);
  }
  EXPECT_EQ(UserBlockFolderListings() - before, 1);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(CadUserBlockFile("logo_1"), logo);
  EXPECT_EQ(UserBlockFolderListings() - before, 1) << "the exact name needs no listing";
  // A drawing in the settled folder lists it no more.
  Output(CadDeviceScreen, EmptySheet);
  EXPECT_EQ(UserBlockFolderListings() - before, 1);
  const std::string logo2 = Put("$LOGO_2.DX$");
  Settle(tmp_.Path());
  EXPECT_EQ(CadUserBlockFile("logo_2"), logo2);
  EXPECT_EQ(UserBlockFolderListings() - before, 2);
}

}  // namespace
}  // namespace qern::test
