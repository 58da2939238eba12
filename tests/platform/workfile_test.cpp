// Working files: made new beside the target, never through a link, within the name limit, gone
// after a failure or a signal; private folders and the removal of those that killed runs left.
#include "platform/workfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <csignal>
#include <ctime>
#include <filesystem>

#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WriteWholeFile;

// Every name in the folder, hidden ones too.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WorkFile, ALinkAtTheTargetIsReplacedNeverWrittenThrough) {
  test::TempFolder dir;
  const std::string victim = dir.File("victim"), target = dir.File("out.txt");
  WriteWholeFile(victim, "precious");
  QERN_PLANT_FOREIGN_LINK(victim, target);
  ASSERT_TRUE(ReplaceFileContents(target, "listing"));
  EXPECT_EQ(ReadWholeFile(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(ReadWholeFile(target), "listing");
  // A dangling link, too: its target is never created.
  fs::remove(target);
  QERN_PLANT_FOREIGN_LINK(dir.File("new-victim"), target);
  ASSERT_TRUE(ReplaceFileContents(target, "again"));
  EXPECT_FALSE(fs::exists(dir.File("new-victim")));
  EXPECT_EQ(ReadWholeFile(target), "again");
  // The new file has the permissions of a newly created file.
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(ReplaceFileContents(target, "x"));
  ::umask(mask);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0644));
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"out.txt", "victim"}));
}

TEST(WorkFile, FailuresLeaveTheTargetAndNoWorkingFile) {
  test::TempFolder dir;
  const std::string target = dir.File("keep.txt");
  WriteWholeFile(target, "old");
  {
    WorkFile f;
    ASSERT_TRUE(f.Create(target));
    EXPECT_EQ(f.Name().rfind(dir.File(".keep.txt."), 0), 0u) << f.Name();
    EXPECT_TRUE(f.Write("half"));
  }  // dropped
  EXPECT_EQ(ReadWholeFile(target), "old");
  // A folder, a pipe or a missing folder is never a target.
  fs::create_directory(dir.File("folder"));
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  for (const std::string& name : {dir.File("folder"), dir.File("pipe"), dir.File("none/x.txt")}) {
    int err = 0;
    EXPECT_FALSE(ReplaceFileContents(name, "x", &err)) << name;
    EXPECT_NE(err, 0);
  }
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"folder", "keep.txt", "pipe"}));
  EXPECT_TRUE(fs::is_empty(dir.File("folder")));
}

TEST(WorkFile, WorkingNamesStayWithinTheNameLimit) {
  test::TempFolder dir;
  // 251 letters and 125 "Ä" (250 bytes) plus an extension: legal names of 255 and 254 bytes.
  std::string ae;
  for (int i = 0; i < 125; ++i) ae += "Ä";
  for (const std::string& base : {std::string(251, 'a'), ae}) {
    const std::string target = dir.File(base + ".dxf");
    ASSERT_LE(fs::path(target).filename().string().size(), MaxFileNameBytes);
    const std::string work = WorkNameBeside(target, "Ab12Cd");
    const std::string name = fs::path(work).filename().string();
    EXPECT_EQ(name.size(), MaxFileNameBytes - (base == ae ? 1 : 0)) << name;
    EXPECT_EQ(name.substr(name.size() - 7), ".Ab12Cd");
    // The name's beginning, cut between characters, never inside one.
    const std::string kept = name.substr(1, name.size() - 8);
    EXPECT_EQ(base.rfind(kept, 0), 0u);
    EXPECT_EQ(kept.size() % (base == ae ? 2 : 1), 0u);
    ASSERT_TRUE(ReplaceFileContents(target, "drawing"));
    EXPECT_EQ(ReadWholeFile(target), "drawing");
  }
  // Short names keep their whole name.
  EXPECT_EQ(WorkNameBeside("/a/d.dxf", "Ab12Cd"), "/a/.d.dxf.Ab12Cd");
  EXPECT_EQ(WorkNameBeside("d.dxf", "Ab12Cd"), ".d.dxf.Ab12Cd");
}

TEST(WorkFile, ASignalRemovesTheWorkingFileAndThePrivateFolder) {
  test::TempFolder dir;
  const std::string target = dir.File("d.dxf");
  WriteWholeFile(target, "old drawing");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WorkFile f;
    PrivateFolder folder;
    if (!f.Create(target) || !f.Write(std::string(1 << 20, 'x'))) ::_exit(3);
    if (!folder.Create(dir.Path(), "wqern")) ::_exit(4);
    WriteWholeFile(folder.Path() + "/$$$1.txt", "listing");
    ::raise(SIGTERM);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << WEXITSTATUS(status);
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"d.dxf"});
  EXPECT_EQ(ReadWholeFile(target), "old drawing");
}

TEST(PrivateFolder, HiddenNamedAfterTheProcessAndRemovedWithItsFiles) {
  test::TempFolder dir;
  std::string path;
  {
    PrivateFolder folder;
    ASSERT_TRUE(folder.Create(dir.Path(), "wqern"));
    path = folder.Path();
    const std::string name = fs::path(path).filename().string();
    EXPECT_EQ(name.rfind(".wqern-" + std::to_string(::getpid()) + "-", 0), 0u) << name;
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);
    WriteWholeFile(path + "/$$$1.txt", "x");
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(PrivateFolder().Create(dir.File("none"), "wqern"));
}

TEST(PrivateFolder, StaleFoldersOfEndedRunsAreRemovedAtStart) {
  test::TempFolder dir;
  // The number of a process that has ended.
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string me = std::to_string(::getpid()), gone = std::to_string(ended);
  auto make = [&](const std::string& name, bool old) {
    fs::create_directory(dir.File(name));
    WriteWholeFile(dir.File(name + "/$$$1.txt"), "x");
    if (old) {
      const utimbuf t{std::time(nullptr) - 7200, std::time(nullptr) - 7200};
      ::utime(dir.File(name).c_str(), &t);
    }
  };
  make(".wqern-" + gone + "-Ab12Cd", false);        // killed run: removed
  make(".qern-blocks-" + gone + "-Ab12Cd", false);  // killed window run: removed
  make(".wqern-" + me + "-Ab12Cd", true);           // this run: kept
  make("wqern-Ab12Cd", true);                       // an older run's, two hours old: removed
  make("wqern-Cd34Ef", false);                      // an older run's, maybe running: kept
  make("wqern-notours", true);                      // not our pattern: kept
  make(".wqern-" + gone + "-toolong", false);       // not our pattern: kept
  // A link of a matching name to a folder of the user's: neither followed nor removed.
  make("user", false);
  fs::create_directory_symlink(dir.File("user"), dir.File(".wqern-" + gone + "-Zz99Zz"));
  RemoveStalePrivateFolders({dir.Path(), dir.File("none")}, {"wqern", "qern-blocks"});
  std::vector<std::string> kept = {".wqern-" + gone + "-Zz99Zz", ".wqern-" + gone + "-toolong",
                                   ".wqern-" + me + "-Ab12Cd", "user", "wqern-Cd34Ef", "wqern-notours"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Entries(dir.Path()), kept);
  EXPECT_TRUE(fs::exists(dir.File("user/$$$1.txt")));
}

}  // namespace
}  // namespace qern
