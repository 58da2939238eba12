// Working files: made new beside the target, never through a link, within the name limit, gone
// after a failure or a signal; private folders and the removal of those that killed runs left.
#include "platform/workfile.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <fcntl.h>
#include <unistd.h>
#include <utime.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <vector>

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


// ---- What the user set on a file survives its replacement ------------------------------------

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

struct stat StatOf(const std::string& name) {
  struct stat st {};
  EXPECT_EQ(::lstat(name.c_str(), &st), 0) << name;
  return st;
}

mode_t ModeOf(const std::string& name) { return StatOf(name).st_mode & 07777; }

// Runs body in a child process as user uid with primary group gid and the supplementary groups
// (root only), with umask 022; true when body returned true.
bool RunAs(uid_t uid, gid_t gid, const std::vector<gid_t>& groups, const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
      ::_exit(3);
    ::umask(022);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A group other than the process's own that it may give its files: any group for root, else one
// of the user's supplementary groups; -1 when there is none.
long SecondGroup() {
  const gid_t own = ::getegid();
  if (::geteuid() == 0) {
    for (const char* name : {"daemon", "bin", "sys", "adm", "users", "nogroup"})
      if (const group* g = ::getgrnam(name); g && g->gr_gid != own) return g->gr_gid;
    return own == 1 ? 2 : 1;
  }
  std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
  groups.resize(static_cast<size_t>(std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
  for (gid_t g : groups)
    if (g != own) return g;
  return -1;
}

TEST(WorkFileRights, AReplacedFileKeepsItsMode) {
  test::TempFolder dir;
  const mode_t mask = ::umask(022);
  for (mode_t mode : {0600, 0640, 0660, 0604, 0755}) {
    SCOPED_TRACE(mode);
    const std::string name = dir.File("d" + std::to_string(mode) + ".qrk");
    WriteWholeFile(name, "old");
    ASSERT_EQ(::chmod(name.c_str(), mode), 0);
    EXPECT_TRUE(ReplaceFileContents(name, "new"));
    EXPECT_EQ(ReadWholeFile(name), "new");
    EXPECT_EQ(ModeOf(name), mode);
  }
  // A new file still takes the permissions of a newly created one.
  EXPECT_TRUE(ReplaceFileContents(dir.File("neu.qrk"), "x"));
  EXPECT_EQ(ModeOf(dir.File("neu.qrk")), 0644u);
  ::umask(mask);
}

// The shared project group keeps its design: the file stays in its group with its mode.
TEST(WorkFileRights, AReplacedFileKeepsItsGroup) {
  const long second = SecondGroup();
  if (second < 0) GTEST_SKIP() << "this user has no second group";
  const gid_t group = static_cast<gid_t>(second);
  test::TempFolder dir;
  const std::string name = dir.File("shared.qrk");
  WriteWholeFile(name, "old");
  ASSERT_EQ(::chown(name.c_str(), static_cast<uid_t>(-1), group), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0660), 0);
  EXPECT_TRUE(ReplaceFileContents(name, "new"));
  EXPECT_EQ(StatOf(name).st_gid, group);
  EXPECT_EQ(ModeOf(name), 0660u);
  if (::geteuid() != 0) return;

  // An ordinary user of that group, with another primary group, saves the file.
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  ASSERT_EQ(::chown(name.c_str(), Nobody, group), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0660), 0);
  EXPECT_TRUE(RunAs(Nobody, NoGroup, {NoGroup, group}, [&] { return ReplaceFileContents(name, "user"); }));
  EXPECT_EQ(ReadWholeFile(name), "user");
  EXPECT_EQ(StatOf(name).st_uid, Nobody);
  EXPECT_EQ(StatOf(name).st_gid, group);
  EXPECT_EQ(ModeOf(name), 0660u);

  // A user outside the file's group cannot give the new file that group: the file lands in the
  // user's own group, which gets no more than everyone else had.
  for (mode_t mode : {0660, 0664}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(::chown(name.c_str(), Nobody, group), 0);
    ASSERT_EQ(::chmod(name.c_str(), mode), 0);
    EXPECT_TRUE(RunAs(Nobody, NoGroup, {NoGroup}, [&] { return ReplaceFileContents(name, "alone"); }));
    EXPECT_EQ(ReadWholeFile(name), "alone");
    EXPECT_EQ(StatOf(name).st_gid, NoGroup);
    EXPECT_EQ(ModeOf(name), mode == 0660 ? 0600u : 0644u);
  }
}

TEST(WorkFileRights, RootKeepsTheOwnerOfAUsersFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can save another user's file";
  test::TempFolder dir;
  const std::string name = dir.File("private.qrk");
  WriteWholeFile(name, "old");
  ASSERT_EQ(::chown(name.c_str(), Nobody, NoGroup), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0600), 0);
  const mode_t mask = ::umask(022);
  EXPECT_TRUE(ReplaceFileContents(name, "new"));
  ::umask(mask);
  EXPECT_EQ(ReadWholeFile(name), "new");
  EXPECT_EQ(StatOf(name).st_uid, Nobody);
  EXPECT_EQ(StatOf(name).st_gid, NoGroup);
  EXPECT_EQ(ModeOf(name), 0600u);
}

// current.qrk -> projects/x/real.qrk: the real file is replaced, the link stays.
TEST(WorkFileLinks, TheUsersOwnLinkIsFollowedAndStays) {
  test::TempFolder dir;
  fs::create_directories(dir.File("projects/x"));
  const std::string real = dir.File("projects/x/real.qrk"), link = dir.File("current.qrk");
  WriteWholeFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  fs::create_symlink("projects/x/real.qrk", link);
  // A link to the link, given by its full name.
  fs::create_symlink(link, dir.File("again.qrk"));
  EXPECT_EQ(FollowOwnLinks(dir.File("again.qrk")), real);

  const mode_t mask = ::umask(022);
  EXPECT_TRUE(ReplaceFileContents(link, "new"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "projects/x/real.qrk");
  EXPECT_EQ(ReadWholeFile(real), "new");
  EXPECT_EQ(ModeOf(real), 0640u);
  EXPECT_TRUE(ReplaceFileContents(dir.File("again.qrk"), "newer"));
  EXPECT_TRUE(fs::is_symlink(dir.File("again.qrk")));
  EXPECT_EQ(ReadWholeFile(real), "newer");
  ::umask(mask);
  // The working file was made beside the real file: nothing is left in either folder.
  EXPECT_EQ(Entries(dir.File("projects/x")), std::vector<std::string>{"real.qrk"});
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"again.qrk", "current.qrk", "projects"}));

  // Links in a circle are refused.
  fs::create_symlink(dir.File("b"), dir.File("a"));
  fs::create_symlink(dir.File("a"), dir.File("b"));
  EXPECT_FALSE(ReplaceFileContents(dir.File("a"), "x"));
  EXPECT_TRUE(fs::is_symlink(dir.File("a")));
}

// In a shared folder with the sticky bit, a link another user planted under the output's name is
// never written through, and cannot be replaced either: the output fails, the link's file is kept.
TEST(WorkFileLinks, AnotherUsersLinkInAStickyFolderIsNeverWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  test::TempFolder dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  fs::create_directory(dir.File("shared"));
  ASSERT_EQ(::chmod(dir.File("shared").c_str(), 01777), 0);
  const std::string victim = dir.File("victim");
  WriteWholeFile(victim, "precious");
  ASSERT_EQ(::chmod(victim.c_str(), 0666), 0);  // writable by anyone: only the link decides
  const std::string link = dir.File("shared/outwin.txt");
  fs::create_symlink(victim, link);  // root's link, not the saving user's
  EXPECT_TRUE(RunAs(Nobody, NoGroup, {NoGroup}, [&] {
    int error = 0;
    return !ReplaceFileContents(link, "listing", &error) && error == EPERM;
  }));
  EXPECT_EQ(ReadWholeFile(victim), "precious");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Entries(dir.File("shared")), std::vector<std::string>{"outwin.txt"});
}

// A file its owner made read-only is refused, for root too, also reached through the user's link;
// so is a file of another user that this user may not write.
TEST(WorkFileRights, AReadOnlyFileIsRefused) {
  test::TempFolder dir;
  const std::string name = dir.File("d.txt");
  WriteWholeFile(name, "kept");
  ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
  int error = 0;
  EXPECT_TRUE(IsReadOnlyFile(name));
  EXPECT_FALSE(ReplaceFileContents(name, "new", &error));
  EXPECT_EQ(error, EACCES);
  EXPECT_EQ(ReadWholeFile(name), "kept");
  fs::create_symlink("d.txt", dir.File("link.txt"));
  EXPECT_TRUE(IsReadOnlyFile(dir.File("link.txt")));
  EXPECT_FALSE(ReplaceFileContents(dir.File("link.txt"), "new"));
  EXPECT_EQ(ReadWholeFile(name), "kept");
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"d.txt", "link.txt"}));
  EXPECT_FALSE(IsReadOnlyFile(dir.File("none.txt")));

  if (::geteuid() != 0) return;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0644), 0);  // root's file: the other user may only read it
  EXPECT_TRUE(RunAs(Nobody, NoGroup, {NoGroup}, [&] {
    return IsReadOnlyFile(name) && !ReplaceFileContents(name, "new");
  }));
  EXPECT_EQ(ReadWholeFile(name), "kept");
}

// ---- Access lists and extended attributes --------------------------------------------------

constexpr uid_t Daemon = 1, Bin = 2;

// A group made for the test and removed with the object; Id() is -1 when none could be made.
class TestGroup {
 public:
  TestGroup() : name_("qerntest" + std::to_string(::getpid())) {
    int status = -1;
    test::ShellOutput("groupadd " + name_ + " 2>/dev/null", &status);
    if (const group* g = status == 0 ? ::getgrnam(name_.c_str()) : nullptr) id_ = g->gr_gid;
  }
  ~TestGroup() {
    if (id_ >= 0) test::ShellOutput("groupdel " + name_ + " 2>/dev/null");
  }
  TestGroup(const TestGroup&) = delete;
  TestGroup& operator=(const TestGroup&) = delete;
  long Id() const { return id_; }
  gid_t Gid() const { return static_cast<gid_t>(id_); }

 private:
  std::string name_;
  long id_ = -1;
};

// True when user uid (in the groups) can open the file for reading.
bool CanRead(uid_t uid, const std::vector<gid_t>& groups, const std::string& name) {
  return RunAs(uid, groups.front(), groups, [&] {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
  });
}

std::string AttributeOf(const std::string& name, const char* key) {
  char value[256] = {};
  const ssize_t n = ::getxattr(name.c_str(), key, value, sizeof value);
  return n < 0 ? std::string("(none)") : std::string(value, static_cast<size_t>(n));
}

// setfacl -m u:daemon:r on a private file: the file comes back with that list (the mode's group
// bits are its mask), the owning group still without access, and with the user's attributes.
TEST(WorkFileRights, TheAccessListAndTheUsersAttributesSurviveAReplacement) {
  test::TempFolder dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  const std::string name = dir.File("d.txt");
  WriteWholeFile(name, "old");
  ASSERT_EQ(::chmod(name.c_str(), 0600), 0);
  if (!test::SetFacl("-m u:daemon:r " + name)) GTEST_SKIP() << "no setfacl or no ACLs here";
  const bool attributes = ::setxattr(name.c_str(), "user.origin", "cad", 3, 0) == 0;
  const std::string acl = test::FaclOf(name);
  ASSERT_NE(acl.find("user:1:r--"), std::string::npos) << acl;
  for (int save = 1; save <= 2; ++save) {
    SCOPED_TRACE(save);
    ASSERT_TRUE(ReplaceFileContents(name, "new" + std::to_string(save)));
    EXPECT_EQ(test::FaclOf(name), acl);
    EXPECT_EQ(ModeOf(name), 0640u);
    if (attributes) {
      EXPECT_EQ(AttributeOf(name, "user.origin"), "cad");
    }
  }
  // A named group with more than the owning group, and a list without any group entry of its own.
  if (const TestGroup g; g.Id() >= 0 && ::geteuid() == 0) {
    ASSERT_TRUE(test::SetFacl("-m g:" + std::to_string(g.Id()) + ":rw " + name));
    const std::string withGroup = test::FaclOf(name);
    ASSERT_TRUE(ReplaceFileContents(name, "newer"));
    EXPECT_EQ(test::FaclOf(name), withGroup);
    EXPECT_EQ(ModeOf(name), 0660u);
    EXPECT_TRUE(CanRead(Bin, {Bin, g.Gid()}, name));
  }
  if (::geteuid() != 0) return;
  EXPECT_TRUE(CanRead(Daemon, {Daemon}, name));
  // A member of the owning group who is no named user or group.
  ASSERT_EQ(::chown(name.c_str(), static_cast<uid_t>(-1), NoGroup), 0);
  ASSERT_TRUE(ReplaceFileContents(name, "last"));
  EXPECT_FALSE(CanRead(Nobody, {NoGroup}, name));
  EXPECT_EQ(StatOf(name).st_gid, NoGroup);
}

// setfacl -d -m u:nobody:rw on the folder: a replaced file does not take the folder's default list;
// it keeps its own list, or none.
TEST(WorkFileRights, AFoldersDefaultListIsNotGivenToAReplacement) {
  test::TempFolder dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  const std::string plain = dir.File("plain.txt"), listed = dir.File("listed.txt");
  WriteWholeFile(plain, "old");
  ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
  WriteWholeFile(listed, "old");
  ASSERT_EQ(::chmod(listed.c_str(), 0600), 0);
  if (!test::SetFacl("-m u:daemon:r " + listed) || !test::SetFacl("-d -m u:nobody:rw " + dir.Path()))
    GTEST_SKIP() << "no setfacl or no ACLs here";
  const std::string listedAcl = test::FaclOf(listed);
  ASSERT_TRUE(ReplaceFileContents(plain, "new"));
  ASSERT_TRUE(ReplaceFileContents(listed, "new"));
  EXPECT_EQ(::getxattr(plain.c_str(), "system.posix_acl_access", nullptr, 0), -1);
  EXPECT_EQ(ModeOf(plain), 0640u);
  EXPECT_EQ(test::FaclOf(listed), listedAcl);
  EXPECT_EQ(test::FaclOf(listed).find("65534"), std::string::npos);
  if (::geteuid() != 0) return;
  EXPECT_FALSE(CanRead(Nobody, {NoGroup}, plain));
  EXPECT_FALSE(CanRead(Nobody, {NoGroup}, listed));
  EXPECT_TRUE(CanRead(Daemon, {Daemon}, listed));
}

// A writer outside the file's group cannot keep it: the members of the old group count as others
// then, so others get no more than the old group had, with and without an access list.
TEST(WorkFileRights, OthersGetNoMoreThanTheOldGroupWhenTheGroupIsLost) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as several users";
  const TestGroup g;
  if (g.Id() < 0) GTEST_SKIP() << "no group could be made";
  test::TempFolder dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  const std::string name = dir.File("d.txt");
  struct Case {
    mode_t Old, New;
  };
  for (const Case c : {Case{0604, 0600}, Case{0606, 0600}, Case{0624, 0600}, Case{0644, 0644}, Case{0664, 0644}}) {
    SCOPED_TRACE(c.Old);
    WriteWholeFile(name, "old");
    ASSERT_EQ(::chown(name.c_str(), Nobody, g.Gid()), 0);
    ASSERT_EQ(::chmod(name.c_str(), c.Old), 0);
    const bool before = CanRead(Bin, {Bin, g.Gid()}, name);
    ASSERT_TRUE(RunAs(Nobody, NoGroup, {NoGroup}, [&] { return ReplaceFileContents(name, "new"); }));
    EXPECT_EQ(StatOf(name).st_gid, NoGroup);
    EXPECT_EQ(ModeOf(name), c.New);
    EXPECT_LE(CanRead(Bin, {Bin, g.Gid()}, name), before);
  }
  // The same with a named user: the list stays, others lose what the old group did not have.
  WriteWholeFile(name, "old");
  ASSERT_EQ(::chown(name.c_str(), Nobody, g.Gid()), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0604), 0);
  if (!test::SetFacl("-m u:daemon:r " + name)) GTEST_SKIP() << "no setfacl or no ACLs here";
  ASSERT_TRUE(RunAs(Nobody, NoGroup, {NoGroup}, [&] { return ReplaceFileContents(name, "new"); }));
  const std::string acl = test::FaclOf(name);
  EXPECT_NE(acl.find("user:1:r--"), std::string::npos) << acl;
  EXPECT_NE(acl.find("group::---"), std::string::npos) << acl;
  EXPECT_NE(acl.find("other::---"), std::string::npos) << acl;
  EXPECT_TRUE(CanRead(Daemon, {Daemon}, name));
  EXPECT_FALSE(CanRead(Bin, {Bin, g.Gid()}, name));
}

}  // namespace
}  // namespace qern
