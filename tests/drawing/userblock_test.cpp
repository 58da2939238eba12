// The user's block files by name: the exact name first, else the first case variant; every change
// of the folder seen at once, by this program or another, an unchanged folder listed once; each
// with the folder watched and judged by its time stamps alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "cadtest.h"
#include "drawing/userblock.h"

namespace qern::test {
namespace {

// The parameter: folders watched.
class UserBlockTest : public CadTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    WatchUserBlockFolders(GetParam());
  }
  void TearDown() override {
    WatchUserBlockFolders(true);
    CadTest::TearDown();
  }
  std::string Put(const std::string& name) {
    WriteFileLines(tmp_.File(name), {"  0", "EOF"});
    return tmp_.File(name);
  }
  // The folder as last changed an hour ago, and a moment passed since its change time (which the
  // change of the time stamps sets to now).
  void Settle(const std::string& folder) {
    timespec times[2]{};
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
    AMoment();
  }
  static void AMoment() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }
  // Runs change in a process of its own, as another program.
  static void ByAnotherProgram(const std::function<void()>& change) {
    const pid_t child = ::fork();
    if (child == 0) {
      change();
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
  }
};

INSTANTIATE_TEST_SUITE_P(Watched, UserBlockTest, ::testing::Values(true, false));

TEST_P(UserBlockTest, ExactNameFirstElseTheFirstCaseVariant) {
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

TEST_P(UserBlockTest, EveryChangeOfTheFolderIsSeen) {
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

TEST_P(UserBlockTest, TheCurrentFolderFollowsAChangeOfFolder) {
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

TEST_P(UserBlockTest, AnUnchangedFolderIsListedOnce) {
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

// Names added, removed, renamed and changed in case by another program are seen at once, whether
// the folder's listing was just made or made a moment before.
TEST_P(UserBlockTest, ChangesByAnotherProgramAreSeenAtOnce) {
  for (int i = 0; i < 50; ++i) Put("d" + std::to_string(i) + ".qrk");
  const std::string dir = AddBackslash(tmp_.Path());
  namespace fs = std::filesystem;
  struct Step {
    std::function<void()> change;
    const char* ask;
    const char* found;  // "" none
  };
  const Step steps[] = {
      {[&] { WriteFileLines(dir + "$Logo_1.dx$", {"  0", "EOF"}); }, "LOGO_1", "$Logo_1.dx$"},
      {[&] { WriteFileLines(dir + "$logo_1.dx$", {"  0", "EOF"}); }, "LOGO_1", "$Logo_1.dx$"},
      {[&] { fs::remove(dir + "$Logo_1.dx$"); }, "LOGO_1", "$logo_1.dx$"},
      {[&] { fs::rename(dir + "$logo_1.dx$", dir + "$logo_2.dx$"); }, "logo_1", ""},
      {[] {}, "Logo_2", "$logo_2.dx$"},
      {[&] { fs::rename(dir + "$logo_2.dx$", dir + "$LOGO_2.DX$"); }, "Logo_2", "$LOGO_2.DX$"},
      {[&] { fs::remove(dir + "$LOGO_2.DX$"); }, "logo_2", ""},
      {[&] { fs::create_directory(dir + "$head_0.dx$"); }, "HEAD_0", ""},
      {[&] {
         fs::remove(dir + "$head_0.dx$");
         WriteFileLines(dir + "$HEAD_0.dx$", {"  0", "EOF"});
       },
       "head_0", "$HEAD_0.dx$"},
      {[&] { fs::remove(dir + "$HEAD_0.dx$"); }, "head_0", ""},
  };
  for (bool aMomentBefore : {false, true}) {
    int n = 0;
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << "step " << ++n << (aMomentBefore ? ", a moment after" : ""));
      CadUserBlockFile("LOGO_3");
      if (aMomentBefore) {
        AMoment();
        CadUserBlockFile("LOGO_3");
      }
      ByAnotherProgram(step.change);
      EXPECT_EQ(CadUserBlockFile(step.ask), *step.found ? dir + step.found : "");
    }
  }
}

// A folder just changed by other files (a save, the program's own working files) is listed no
// more when watched, and once when judged by its time stamps, however many questions follow.
TEST_P(UserBlockTest, AFolderJustChangedIsNotListedForEveryQuestion) {
  for (int i = 0; i < 200; ++i) Put("d" + std::to_string(i) + ".qrk");
  const std::string logo = Put("$logo_1.dx$");
  EXPECT_EQ(CadUserBlockFile("LOGO_1"), logo);
  for (int round = 0; round < 3; ++round) {
    Put("d" + std::to_string(round) + ".qrk");
    Put("new" + std::to_string(round) + ".qrk");
    ::unlink(tmp_.File("new" + std::to_string(round) + ".qrk").c_str());
    if (!GetParam()) AMoment();
    const long before = UserBlockFolderListings();
    for (int i = 0; i < 100; ++i) {
      EXPECT_EQ(CadUserBlockFile("LOGO_2"), "");
      EXPECT_EQ(CadUserBlockFile("LOGO_1"), logo);
    }
    EXPECT_EQ(UserBlockFolderListings() - before, GetParam() ? 0 : 1);
  }
}

}  // namespace
}  // namespace qern::test
