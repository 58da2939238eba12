// The workbook is written as every output is: the user's own link followed and kept with the
// rights of the file it leads to, refusals said with their reason in German, nothing of the
// library's own on the error output, and the old file left as it was.
#include "framework/spreadsheet.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "framework/progvar.h"
#include "platform/desktop.h"
#include "platform/process.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

// Every name under folder (hidden ones too), with its folders, sorted.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    names.push_back(e.path().string().substr(folder.size() + 1));
  std::sort(names.begin(), names.end());
  return names;
}

// Leaves exactly `free` descriptors below the limit of open files.
bool LeaveFreeDescriptors(int free) {
  const rlimit lim{64, 64};
  if (::setrlimit(RLIMIT_NOFILE, &lim) != 0) return false;
  std::vector<int> fds;
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fds.push_back(fd);
  for (int i = 0; i < free && !fds.empty(); ++i) {
    ::close(fds.back());
    fds.pop_back();
  }
  return true;
}

struct Case {
  const char* What;
  // Prepares the folder; gives the name the workbook is written as.
  std::function<std::string(const TempFolder&)> Prepare;
  // The message ("" when the workbook is written); %d stands for the folder.
  std::string Message;
  // What is left on disk under the folder afterwards.
  std::vector<std::string> Left;
  int FreeDescriptors = -1;  // >= 0: the write runs with that many descriptors to spare
  bool OtherUser = false;    // as root: written by another user
  rlim_t FileSizeLimit = 0;  // > 0: no file may grow beyond that many bytes
};

std::string Expand(std::string s, const std::string& dir) {
  for (size_t at; (at = s.find("%d")) != std::string::npos;) s.replace(at, 2, dir);
  return s;
}

const std::string Refused = "Datei %d/d.xlsx kann nicht geschrieben werden: ";

// An old workbook d.xlsx that may be written.
std::string OldWorkbook(const TempFolder& t) {
  WriteWholeFile(t.File("d.xlsx"), "alt");
  return t.File("d.xlsx");
}

TEST(WorkbookOutput, WrittenAsEveryOutputIs) {
  std::vector<Case> all = {
      {"own link", [](const TempFolder& t) {
         fs::create_directory(t.File("anderswo"));
         WriteWholeFile(t.File("anderswo/echt.xlsx"), "alt");
         ::chmod(t.File("anderswo/echt.xlsx").c_str(), 0640);
         fs::create_symlink("anderswo/echt.xlsx", t.File("d.xlsx"));
         return t.File("d.xlsx");
       }, "", {"anderswo", "anderswo/echt.xlsx", "d.xlsx"}},
      {"own link that leads to a missing file", [](const TempFolder& t) {
         fs::create_directory(t.File("anderswo"));
         fs::create_symlink("anderswo/echt.xlsx", t.File("d.xlsx"));
         return t.File("d.xlsx");
       }, "", {"anderswo", "anderswo/echt.xlsx", "d.xlsx"}},
      {"own link that leads nowhere", [](const TempFolder& t) {
         fs::create_symlink("fehlt/echt.xlsx", t.File("d.xlsx"));
         return t.File("d.xlsx");
       }, Refused + "Verweis %d/d.xlsx führt ins Leere (%d/fehlt/echt.xlsx) !", {"d.xlsx"}},
      {"links in a circle", [](const TempFolder& t) {
         fs::create_symlink("e.xlsx", t.File("d.xlsx"));
         fs::create_symlink("d.xlsx", t.File("e.xlsx"));
         return t.File("d.xlsx");
       }, Refused + "%d/d.xlsx: Verweise im Kreis !", {"d.xlsx", "e.xlsx"}},
      {"missing folder", [](const TempFolder& t) { return t.File("fehlt/d.xlsx"); },
       "Datei %d/fehlt/d.xlsx kann nicht geschrieben werden: Ordner %d/fehlt/ existiert nicht !", {}},
      {"read-only file", [](const TempFolder& t) {
         ::chmod(OldWorkbook(t).c_str(), 0444);
         return t.File("d.xlsx");
       }, Refused + "keine Schreibberechtigung für %d/d.xlsx !", {"d.xlsx"}},
      {"folder without write permission", [](const TempFolder& t) {
         ::chmod(OldWorkbook(t).c_str(), 0666);
         ::chmod(t.Path().c_str(), ::geteuid() == 0 ? 0755 : 0555);
         return t.File("d.xlsx");
       }, Refused + "keine Schreibberechtigung im Ordner %d/ !", {"d.xlsx"}, -1, true},
      {"file size limit", OldWorkbook, Refused + "Datei zu groß !", {"d.xlsx"}, -1, false, 2000},
  };
  // Too few descriptors for the working file, for the workbook, for its temporary files. (The
  // sanitizers' runtime needs two descriptors of its own when it checks a call.)
#ifdef __SANITIZE_ADDRESS__
  for (int free : {2})
#else
  for (int free : {0, 1, 2})
#endif
    all.push_back({"few descriptors", OldWorkbook, Refused + "zu viele offene Dateien !", {"d.xlsx"}, free});

  ScopedEnv program("QERN_SPREADSHEET", std::nullopt);
  for (const Case& c : all) {
    SCOPED_TRACE(std::string(c.What) + " " + std::to_string(c.FreeDescriptors));
    TempFolder t;
    const std::string dir = t.Path();
    const std::string name = c.Prepare(t);
    TempFolder side;  // what the child said, and its error output
    const std::string said = side.File("said"), err = side.File("err");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      ::dup2(e, 2);
      ::close(e);
      const int out = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (c.OtherUser && ::geteuid() == 0 && (::setgid(NoGroup) != 0 || ::setuid(Nobody) != 0)) ::_exit(3);
      InitProgramState();
      ScopedScriptedDialogs dialogs;
      SetDesktopHooks({[](const std::string&) { return true; }, {}});
      Worksheet sheet;
      sheet.SetCell(1, 1, "Text");
      sheet.SetCell(2, 1, "Größe");
      if (c.FreeDescriptors >= 0 && !LeaveFreeDescriptors(c.FreeDescriptors)) ::_exit(4);
      const rlimit size{c.FileSizeLimit, c.FileSizeLimit};
      std::signal(SIGXFSZ, SIG_IGN);
      if (c.FileSizeLimit > 0 && ::setrlimit(RLIMIT_FSIZE, &size) != 0) ::_exit(4);
      const bool shown = ShowWorkbook(sheet, name);
      const std::string text = dialogs->Messages().empty() ? "" : dialogs->Messages().back();
      const bool written = ::write(out, text.data(), text.size()) == static_cast<ssize_t>(text.size());
      ::_exit(written && shown == text.empty() ? 0 : 6);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(dir.c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadWholeFile(said), Expand(c.Message, dir));
    EXPECT_EQ(ReadWholeFile(err), "") << "nothing on the error output";
    EXPECT_EQ(Entries(dir), c.Left) << "no working file is left";
    if (!c.Message.empty()) {
      if (fs::is_regular_file(fs::symlink_status(dir + "/d.xlsx"))) {
        EXPECT_EQ(ReadWholeFile(dir + "/d.xlsx"), "alt");
      }
      continue;
    }
    // Written through the link, which stays; the file keeps the rights it had.
    EXPECT_TRUE(fs::is_symlink(name));
    std::error_code ec;
    EXPECT_EQ(fs::read_symlink(name, ec), "anderswo/echt.xlsx");
    const std::string real = dir + "/anderswo/echt.xlsx";
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(std::string(c.What) == "own link" ? 0640 : 0666 & ~mask));
    const std::string script = std::string(QERN_SOURCE_DATA) + "/../tests/readers/xlsx_cells.py";
    int code = -1;
    ASSERT_EQ(RunAndWait({"/usr/bin/python3", script, real, dir + "/cells.txt"}, code), StartResult::Started);
    if (code == 3) {
      const char* ci = std::getenv("CI");
      if (ci && std::string(ci) == "true") ADD_FAILURE() << "python3-openpyxl is needed to check workbooks";
      continue;
    }
    if (code != 0) {
      ADD_FAILURE() << "openpyxl could not read the workbook";
      continue;
    }
    EXPECT_EQ(ReadFileLines(dir + "/cells.txt"),
              (std::vector<std::string>{"A1\ts\tText\tGeneral", "A2\ts\tGröße\tGeneral"}));
  }
}

}  // namespace
