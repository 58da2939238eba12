// Reasons of failed file operations: the errno as the failed call gave it, sharpened by the path.
// (The outputs' own cases, as real runs, are in the program's tests.)
#include "platform/fileerror.h"

#include <gtest/gtest.h>
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

TEST(FileErrorText, ReasonsInTheProgramsWords) {
  EXPECT_EQ(FileErrorText(0, "a"), "");
  EXPECT_EQ(FileErrorText(EROFS, "a"), "schreibgeschütztes Dateisystem");
  EXPECT_EQ(FileErrorText(ENFILE, "a"), "zu viele offene Dateien");
  EXPECT_EQ(FileErrorText(EDQUOT, "a"), "Diskette/Platte voll");
  EXPECT_EQ(FileErrorText(ENOMEM, "a"), "nicht genügend Speicher");
  EXPECT_EQ(FileErrorText(EIO, "a", FileAccess::Read), "Lesefehler");
  EXPECT_EQ(FileErrorText(EIO, "a"), "Schreibfehler");
  EXPECT_EQ(FileErrorText(EBADF, "a"), "Fehler bei Zugriff auf Diskette/Platte (Nr. 9)");

  // A file where a folder should be; a bare name told with the folder it would lie in; a file
  // to be read that is not there.
  TempFolder t;
  WriteWholeFile(t.File("datei"), "x");
  EXPECT_EQ(WriteReason(t.File("datei/a.txt")), "Ordner " + t.Path() + "/datei/ existiert nicht");
  EXPECT_EQ(FileErrorText(ENOENT, t.File("nix.txt"), FileAccess::Read),
            "Datei " + t.File("nix.txt") + " existiert nicht");
  // What is no plain file, to be read.
  ASSERT_EQ(::mkfifo(t.File("pipe").c_str(), 0600), 0);
  EXPECT_EQ(FileErrorText(EACCES, t.File("pipe"), FileAccess::Read), t.File("pipe") + " ist keine normale Datei");
  TempFolder inside(true);
  fs::create_directory(inside.File("sub"));
  EXPECT_EQ(FolderOfFile("a.txt"), fs::canonical(inside.Path()).string() + "/");
  EXPECT_EQ(WriteReason("sub"), "sub ist ein Ordner");
}

// A file of another user, seen by a user who may neither write nor read it (only root can act
// as one here).
TEST(FileErrorText, AFileThatMayNotBeWrittenOrRead) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempFolder t;
  ASSERT_EQ(::chmod(t.Path().c_str(), 01777), 0);
  WriteWholeFile(t.File("fest.txt"), "x");
  ::chmod(t.File("fest.txt").c_str(), 0600);
  // A file in a folder closed to others: reading it is refused by the folder.
  ASSERT_EQ(::mkdir(t.File("zu").c_str(), 0700), 0);
  WriteWholeFile(t.File("zu/a.txt"), "x");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    const bool write = WriteReason(t.File("fest.txt")) == "keine Schreibberechtigung für " + t.File("fest.txt");
    const bool read = FileErrorText(EACCES, t.File("fest.txt"), FileAccess::Read) ==
                      "keine Leseberechtigung für " + t.File("fest.txt");
    const bool closed = FileErrorText(EACCES, t.File("zu/a.txt"), FileAccess::Read) ==
                        "kein Zugriff auf den Ordner " + t.File("zu/");
    ::_exit(write && read && closed ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
