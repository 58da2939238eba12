// Reasons of failed file operations: the errno as the failed call gave it, sharpened by the path.
#include "platform/fileerror.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/workfile.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

// The reason a working file at name could not be made, as every output would give it.
std::string WriteReason(const std::string& name) {
  WorkFile f;
  if (f.Create(name)) return "made";
  return FileErrorText(f.Error(), name);
}

TEST(FileErrorText, NamesWhatStandsInTheWayOfAWrite) {
  TempFolder t;
  const std::string dir = t.Path();
  fs::create_directory(t.File("ordner"));
  EXPECT_EQ(WriteReason(t.File("ordner")), t.File("ordner") + " ist ein Ordner");
  EXPECT_EQ(WriteReason(t.File("fehlt/a.txt")), "Ordner " + dir + "/fehlt/ existiert nicht");
  WriteWholeFile(t.File("datei"), "x");
  EXPECT_EQ(WriteReason(t.File("datei/a.txt")), "Ordner " + dir + "/datei/ existiert nicht");

  fs::create_symlink(t.File("fehlt/ziel.txt"), t.File("leer.txt"));
  EXPECT_EQ(WriteReason(t.File("leer.txt")),
            "Verweis " + t.File("leer.txt") + " führt ins Leere (" + t.File("fehlt/ziel.txt") + ")");
  fs::create_symlink("kreis2.txt", t.File("kreis1.txt"));
  fs::create_symlink("kreis1.txt", t.File("kreis2.txt"));
  EXPECT_EQ(WriteReason(t.File("kreis1.txt")), t.File("kreis1.txt") + ": Verweise im Kreis");

  // A bare name is told with the folder it would lie in.
  TempFolder inside(true);
  fs::create_directory(inside.File("sub"));
  EXPECT_EQ(FolderOfFile("a.txt"), fs::canonical(inside.Path()).string() + "/");
  EXPECT_EQ(WriteReason("sub"), "sub ist ein Ordner");
}

TEST(FileErrorText, ReasonsOfTheSystemInTheProgramsWords) {
  EXPECT_EQ(FileErrorText(0, "a"), "");
  EXPECT_EQ(FileErrorText(EROFS, "a"), "schreibgeschütztes Dateisystem");
  EXPECT_EQ(FileErrorText(EMFILE, "a"), "zu viele offene Dateien");
  EXPECT_EQ(FileErrorText(ENFILE, "a"), "zu viele offene Dateien");
  EXPECT_EQ(FileErrorText(ENOSPC, "a"), "Diskette/Platte voll");
  EXPECT_EQ(FileErrorText(ENOMEM, "a"), "nicht genügend Speicher");
  EXPECT_EQ(FileErrorText(ENAMETOOLONG, "a"), "Name zu lang");
  EXPECT_EQ(FileErrorText(EIO, "a", FileAccess::Read), "Lesefehler");
  EXPECT_EQ(FileErrorText(EIO, "a"), "Schreibfehler");
  EXPECT_EQ(FileErrorText(EBADF, "a"), "Fehler bei Zugriff auf Diskette/Platte (Nr. 9)");

  // Reading: a file that is not there is told as such when its folder is.
  TempFolder t;
  EXPECT_EQ(FileErrorText(ENOENT, t.File("nix.txt"), FileAccess::Read),
            "Datei " + t.File("nix.txt") + " existiert nicht");

  // Out of descriptors: a working file cannot be made, and says why.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit few{3, 3};
    ::setrlimit(RLIMIT_NOFILE, &few);
    for (int fd = 3; fd < 16; ++fd) ::close(fd);
    ::close(0);
    ::open("/dev/null", O_RDONLY);
    ::_exit(WriteReason(t.File("a.txt")) == "zu viele offene Dateien" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Permissions, seen by another user (only root can act as one here).
TEST(FileErrorText, PermissionsAndAnotherUsersLink) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempFolder t;
  ASSERT_EQ(::chmod(t.Path().c_str(), 01777), 0);
  fs::create_directory(t.File("zu"));
  WriteWholeFile(t.File("fest.txt"), "x");
  ::chmod(t.File("fest.txt").c_str(), 0600);
  fs::create_symlink(t.File("ziel"), t.File("fremd.txt"));  // root's link in a shared folder
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    int failed = 0;
    failed |= (WriteReason(t.File("zu/a.txt")) !=
               "keine Schreibberechtigung im Ordner " + t.File("zu") + "/") << 0;
    failed |= (WriteReason(t.File("fest.txt")) != "keine Schreibberechtigung für " + t.File("fest.txt")) << 1;
    failed |= (FileErrorText(EACCES, t.File("fest.txt"), FileAccess::Read) !=
               "keine Leseberechtigung für " + t.File("fest.txt")) << 2;
    failed |= (FileErrorText(EPERM, t.File("fremd.txt")) !=
               t.File("fremd.txt") + " ist ein Verweis eines anderen Benutzers") << 3;
    ::_exit(failed);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed cases (bits)";
}

}  // namespace
