// Runs the built wqern as a user would from a shell without a screen: in a fresh folder, stdin
// closed, no DISPLAY, and checks exit status, files written and messages.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/testutil.h"

namespace fs = std::filesystem;
using qern::test::ReadFileLines;
using qern::test::ReadWholeFile;
using qern::test::WriteFileLines;

namespace {

struct RunResult {
  int Status = -1;  // exit status (137 when killed)
  std::string Out, Err;
};

class WqernRun : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const fs::path& p : {dir_, tmp_, home_}) fs::create_directories(p);
  }

  // Starts wqern in the work folder (stdin closed, HOME and TMPDIR private); a run longer than
  // 20 s is killed.
  RunResult Run(const std::vector<std::string>& args, const char* qtPlatform = nullptr,
                const std::string& tag = "") const {
    return RunWith(env_, args, qtPlatform, tag);
  }
  // The same with further settings of its own: runs side by side each have theirs (and a tag).
  RunResult RunWith(const std::string& env, const std::vector<std::string>& args,
                    const char* qtPlatform, const std::string& tag) const {
    const std::string out = root_.File("out" + tag), err = root_.File("err" + tag);
    std::string cmd = "cd '" + dir_.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " +
                      "-u QT_QPA_PLATFORM -u XAUTHORITY HOME='" + home_.string() + "' TMPDIR='" +
                      tmp_.string() + "' " + env;
    if (qtPlatform) cmd += std::string("QT_QPA_PLATFORM='") + qtPlatform + "' ";
    cmd += "timeout -s KILL 20 '" + program_ + "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " 0<&- >'" + out + "' 2>'" + err + "'";
    const int status = std::system(cmd.c_str());
    RunResult r;
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Out = ReadWholeFile(out);
    r.Err = ReadWholeFile(err);
    return r;
  }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }
  bool TmpEmpty() const { return fs::is_empty(tmp_); }
  fs::path Work(const std::string& name) const { return dir_ / name; }
  void CopyDesign(const std::string& name) {
    fs::copy_file(fs::path(QERN_SOURCE_DATA) / "null.qrk", Work(name));
  }

  // Runs as the user that env_ switches to start a copy of the program that this user can reach
  // (the checkout's folder may be closed to it): the program with its window module and shipped
  // data in a folder of the test's own, open to everyone to enter. "" when that user can start it
  // and read the work folder, else why not.
  std::string StartAsUser() {
    fs::permissions(root_.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    const fs::path built = fs::path(QERN_WQERN).parent_path(), bin = root_.File("bin");
    fs::create_directories(bin);
    fs::permissions(bin, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    for (const char* part : {"wqern", "wqern-windows.so", "data"})
      if (fs::exists(built / part))
        fs::copy(built / part, bin / part,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    program_ = (bin / "wqern").string();
    const std::string check = env_ + "sh -c 'test -x \"$0\" && test -r \"$1\"' '" + program_ +
                              "' '" + Work("d.qrk").string() + "' 2>/dev/null";
    if (std::system(check.c_str()) == 0) return "";
    return "the user of \"" + env_ + "\" cannot reach " + root_.Path() +
           " (a folder on its way is closed to that user)";
  }

  std::string env_;  // further "NAME=value " settings for the runs
  std::string program_ = QERN_WQERN;
  qern::test::TempFolder root_;
  fs::path dir_ = root_.File("work"), tmp_ = root_.File("tmp"), home_ = root_.File("home");
};

TEST_F(WqernRun, ListingModeWritesTheListingNamedAfterTheDesign) {
  CopyDesign("ex.qrk");
  for (const char* platform : {static_cast<const char*>(nullptr), "offscreen"}) {
    fs::remove(Work("ex.txt"));
    RunResult r = Run({"ex.qrk", "/I"}, platform);
    EXPECT_EQ(r.Status, 0) << r.Err;
    const std::string listing = ReadWholeFile(Work("ex.txt"));
    EXPECT_NE(listing.find("QERN   Kerbverzahnung"), std::string::npos);
    EXPECT_NE(listing.find("Teilkreisdurchmesser"), std::string::npos);
    EXPECT_EQ(Names(), (std::set<std::string>{"ex.qrk", "ex.txt"}));
    EXPECT_TRUE(TmpEmpty()) << "working files left behind";
  }
  // The other spellings, a folder in the name (the listing lands here) and /NOGUI.
  fs::create_directories(Work("sub"));
  CopyDesign("sub/t.qrk");
  for (const char* sw : {"/i", "-I", "-i"}) {
    fs::remove(Work("t.txt"));
    EXPECT_EQ(Run({"sub/t.qrk", sw, "/NOGUI"}).Status, 0) << sw;
    EXPECT_TRUE(fs::exists(Work("t.txt"))) << sw;
  }
  // Without an extension the reader adds it.
  fs::remove(Work("ex.txt"));
  EXPECT_EQ(Run({"ex", "/I"}).Status, 0);
  EXPECT_TRUE(fs::exists(Work("ex.txt")));
}

// Outputs the user made read-only are kept, with the message a save of such a design gives;
// others keep the mode the user gave them, and the user's own link stays a link.
TEST_F(WqernRun, OutputsKeepReadOnlyFilesModesAndTheUsersLinks) {
  CopyDesign("d.qrk");
  struct Case {
    const char* Switch;
    const char* Output;
  };
  for (const Case& c : {Case{"/I", "d.txt"}, Case{"/CAD1:5", "d.dxf"}, Case{"/CAD2:1", "d.igs"},
                        Case{"/CAD5:1", "d.txt"}}) {
    SCOPED_TRACE(c.Switch);
    const fs::path out = Work(c.Output);
    fs::remove(out);
    qern::test::WriteWholeFile(out.string(), "kept");
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    RunResult r = Run({"d.qrk", c.Switch});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find(std::string("Ungültiger Dateiname \"") + c.Output +
                         "\": keine Schreibberechtigung für " + c.Output + " !"),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(ReadWholeFile(out.string()), "kept");

    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
    r = Run({"d.qrk", c.Switch});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_GT(fs::file_size(out), 100u);
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "d.txt", "d.dxf", "d.igs"}));

  // current.txt -> keep/real.txt, the user's own link: the listing lands in the real file.
  fs::create_directories(Work("keep"));
  CopyDesign("current.qrk");
  qern::test::WriteWholeFile(Work("keep/real.txt").string(), "old");
  fs::create_symlink("keep/real.txt", Work("current.txt"));
  EXPECT_EQ(Run({"current.qrk", "/I"}).Status, 0);
  EXPECT_TRUE(fs::is_symlink(Work("current.txt")));
  EXPECT_GT(fs::file_size(Work("keep/real.txt")), 100u);
  EXPECT_TRUE(TmpEmpty());
}

// The listing is written once: in the design's folder the run makes one working file for the
// listing and at most one to try whether the folder can be written; it makes no working folder,
// which it would not use.
TEST_F(WqernRun, TheListingIsWrittenOnceWithOneProbe) {
  CopyDesign("d.qrk");
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_GE(::inotify_add_watch(fd, dir_.c_str(), IN_CREATE), 0);
  ASSERT_GE(::inotify_add_watch(fd, tmp_.c_str(), IN_CREATE), 0);
  EXPECT_EQ(Run({"d.qrk", "/I"}).Status, 0);
  std::vector<std::string> created;
  alignas(inotify_event) char buf[16384];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) {
    for (char* p = buf; p < buf + n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(p);
      std::string name = e->len ? e->name : "";
      // Random parts and process numbers left out.
      if (name.rfind(".qern-probe.", 0) == 0) name = ".qern-probe";
      if (name.rfind(".d.txt.", 0) == 0) name = ".d.txt";
      if (name.rfind(".wqern-", 0) == 0) name = ".wqern";
      created.push_back(name);
      p += sizeof(inotify_event) + e->len;
    }
  }
  ::close(fd);
  std::sort(created.begin(), created.end());
  EXPECT_EQ(created, (std::vector<std::string>{".d.txt", ".qern-probe"}));
}

TEST_F(WqernRun, UnusableTmpdirLeavesNoWorkingFileBehind) {
  CopyDesign("ex.qrk");
  // A missing folder, a plain file, and no TMPDIR at all.
  const std::string plain = root_.File("plain");
  WriteFileLines(plain, {"x"});
  for (const std::string& tmpdir : {root_.File("missing/x"), plain, std::string()}) {
    env_ = "TMPDIR='" + tmpdir + "' ";
    fs::remove(Work("ex.txt"));
    RunResult r = Run({"ex.qrk", "/I"});
    EXPECT_EQ(r.Status, 0) << tmpdir << r.Err;
    EXPECT_EQ(Names(), (std::set<std::string>{"ex.qrk", "ex.txt"})) << tmpdir;
  }
  EXPECT_EQ(ReadFileLines(plain), std::vector<std::string>{"x"});
}

TEST_F(WqernRun, UnreadableDesignEndsWithOneAndWritesNothing) {
  RunResult r = Run({"missing.qrk", "/I"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_FALSE(r.Err.empty());
  EXPECT_TRUE(Names().empty());
  // A truncated file is no design either.
  std::vector<std::string> lines = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  lines.resize(lines.size() / 3);
  WriteFileLines(Work("cut.qrk"), lines);
  EXPECT_EQ(Run({"cut.qrk", "/I"}).Status, 1);
  EXPECT_EQ(Run({"missing.qrk", "/CAD1:1"}).Status, 1);
  EXPECT_EQ(Names(), std::set<std::string>{"cut.qrk"});
  EXPECT_TRUE(TmpEmpty());
}

// A design that cannot be opened ends a batch run with status 1 and says why; only a file that
// was read and found damaged is called damaged. Errors the system gives seldom are injected into
// the design's open (strace, where it can trace).
TEST_F(WqernRun, ADesignThatCannotBeOpenedSaysWhy) {
  CopyDesign("d.qrk");
  fs::create_directory(Work("ordner.qrk"));
  WriteFileLines(Work("kaputt.qrk"), {"---"});
  const bool strace = std::system("strace -qq -o /dev/null true >/dev/null 2>&1") == 0;
  struct Case {
    std::string File, Inject, Message;
  };
  const std::string cannot = "Datei d.qrk kann nicht gelesen werden: ";
  const std::vector<Case> cases = {
      {"ordner.qrk", "", "Datei ordner.qrk kann nicht gelesen werden: ordner.qrk ist ein Ordner;"},
      {"fehlt.qrk", "", "Datei fehlt.qrk kann nicht gelesen werden: Datei fehlt.qrk existiert nicht;"},
      {"kaputt.qrk", "", "Datei kaputt.qrk ist unvollständig oder fehlerhaft"},
      {"d.qrk", "EIO", cannot + "Lesefehler;"},
      {"d.qrk", "EACCES", cannot + "keine Leseberechtigung für d.qrk;"},
      {"d.qrk", "EMFILE", cannot + "zu viele offene Dateien;"},
      {"d.qrk", "ENFILE", cannot + "zu viele offene Dateien;"},
  };
  for (const Case& c : cases) {
    if (!c.Inject.empty() && !strace) continue;
    for (const char* sw : {"/I", "/CAD1:1"}) {
      SCOPED_TRACE(c.File + " " + c.Inject + " " + sw);
      env_ = c.Inject.empty() ? "" : "strace -f -qq -o /dev/null -P " + c.File + " -e inject=openat:error=" + c.Inject + " ";
      const RunResult r = Run({c.File, sw});
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
      EXPECT_EQ(r.Err.find("nicht gefunden oder kein Zugriffsrecht"), std::string::npos) << r.Err;
      EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "ordner.qrk", "kaputt.qrk"}));
    }
  }
  env_.clear();
  if (!strace) GTEST_SKIP() << "strace cannot trace here: the injected errors were left out";
}

// A number line that holds no number is a damaged file: status 1, the message, no listing.
TEST_F(WqernRun, NumberLineThatIsNoNumberIsADamagedFile) {
  const std::vector<std::string> lines = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  ASSERT_EQ(lines[9], "0.4193400");  // the module
  ASSERT_EQ(lines[10], "31");        // the tooth count
  ASSERT_EQ(lines[17], "1.0000000");  // the tool addendum factor of the shaft
  for (const auto& [line, value] : std::vector<std::pair<int, std::string>>{
           {9, "nan"}, {9, "inf"}, {8, "Infinity"}, {17, "nan(123)"}, {10, "abc"}, {10, "nan"}}) {
    std::vector<std::string> changed = lines;
    changed[line] = value;
    WriteFileLines(Work("d.qrk"), changed);
    fs::remove(Work("d.txt"));
    RunResult r = Run({"d.qrk", "/I"});
    EXPECT_EQ(r.Status, 1) << line << ": " << value << "\n" << r.Err;
    EXPECT_NE(r.Err.find("unvollständig oder fehlerhaft"), std::string::npos) << r.Err;
    EXPECT_EQ(Names(), std::set<std::string>{"d.qrk"}) << line << ": " << value;
  }
}

// A zero with any exponent or any number of digits, on a real line of a design or of qern.cfg, is
// 0; a number beyond the range is a damaged design; neither ends a run with a fault.
TEST_F(WqernRun, ZerosWithLargeExponentsAndLongRunsReadWithoutAFault) {
  const std::vector<std::string> lines = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  ASSERT_EQ(lines[9], "0.4193400");  // the module
  ASSERT_EQ(lines[21], "0");         // the profile shift of the shaft
  ASSERT_EQ(lines[41], "0");         // the major clearance
  const std::string zeros(100000, '0');
  struct Case {
    int Line;
    std::string Value;
    int Status;
  };
  for (const Case& c : {Case{21, "0e99999", 0}, Case{41, "0e100000", 0}, Case{21, "-0e100000", 0},
                        Case{41, "0e999999999", 0}, Case{21, "0." + zeros, 0}, Case{41, "0e29", 0},
                        Case{21, "0.0e-40", 0}, Case{9, "0e99999", 2}, Case{9, "0." + zeros, 2},
                        Case{21, "1e99999", 1}, Case{41, "0." + zeros + "1", 1},
                        Case{21, "1" + zeros, 1}, Case{9, "0." + zeros.substr(0, 1000) + "42e1000", 0}}) {
    SCOPED_TRACE(std::to_string(c.Line) + ": " + c.Value.substr(0, 20));
    std::vector<std::string> changed = lines;
    changed[c.Line] = c.Value;
    WriteFileLines(Work("d.qrk"), changed);
    fs::remove(Work("d.txt"));
    const RunResult r = Run({"d.qrk", "/I"});
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_EQ(fs::exists(Work("d.txt")), c.Status == 0);
    if (c.Status == 1) {
      EXPECT_NE(r.Err.find("unvollständig oder fehlerhaft"), std::string::npos) << r.Err;
    }
    // A module of 0 is read; its calculation stops as fatal.
    if (c.Status == 2) EXPECT_NE(r.Err.find("Fatal  : mn = 0 !"), std::string::npos) << r.Err;
  }

  // The same numbers in the configuration file of the folder: every run reads it first.
  std::vector<std::string> config = ReadFileLines(QERN_TEST_DATA "/../fuzz/seeds/qern.cfg");
  const auto label = std::find(config.begin(), config.end(), "Textbreitenfaktor CAD");
  ASSERT_NE(label, config.end());
  const std::size_t value = static_cast<std::size_t>(label - config.begin()) + 1;
  WriteFileLines(Work("d.qrk"), lines);
  for (const std::string& number : {std::string("0e99999"), std::string("-0e100000"),
                                    "0." + zeros, std::string("1e99999"), "1" + zeros}) {
    SCOPED_TRACE(number.substr(0, 20));
    config[value] = number;
    WriteFileLines(Work("qern.cfg"), config);
    const RunResult usage = Run({"/?"});
    EXPECT_EQ(usage.Status, 0) << usage.Err;
    EXPECT_NE(usage.Out.find("QERN Command Line Mode"), std::string::npos);
    fs::remove(Work("d.txt"));
    EXPECT_EQ(Run({"d.qrk", "/I"}).Status, 0);
    EXPECT_TRUE(fs::exists(Work("d.txt")));
  }
}

TEST_F(WqernRun, PipesAndDevicesNeitherBlockNorExhaustMemory) {
  ASSERT_EQ(::mkfifo(Work("pipe.qrk").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", Work("zero.qrk"));
  EXPECT_EQ(Run({"pipe.qrk", "/I"}).Status, 1);
  EXPECT_EQ(Run({"zero.qrk", "/I"}).Status, 1);
  // The listing's name taken by a pipe that nobody reads.
  CopyDesign("ex.qrk");
  ASSERT_EQ(::mkfifo(Work("ex.txt").c_str(), 0600), 0);
  EXPECT_EQ(Run({"ex.qrk", "/I"}).Status, 2);
  EXPECT_EQ(Names(), (std::set<std::string>{"pipe.qrk", "zero.qrk", "ex.qrk", "ex.txt"}));
  EXPECT_TRUE(TmpEmpty());
}

TEST_F(WqernRun, FatalDesignAndFailedOutputEndWithTwoAndWriteNothing) {
  // The default design with its number of teeth (line 11) set to 0.
  std::vector<std::string> lines = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  lines[10] = "0";
  WriteFileLines(Work("bad.qrk"), lines);
  RunResult r = Run({"bad.qrk", "/I"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("Fatal  : z = 0 !"), std::string::npos) << r.Err;
  // Both modes name the design file as given.
  const std::string fatal = "bad.qrk: Berechnung mit fatalem Fehler, keine Ausgabe";
  EXPECT_NE(r.Err.find(fatal), std::string::npos) << r.Err;
  r = Run({"bad.qrk", "/CAD1:1"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find(fatal), std::string::npos) << r.Err;
  EXPECT_EQ(Names(), std::set<std::string>{"bad.qrk"});

  // A design kept as ex.txt would be replaced by its own listing.
  CopyDesign("ex.txt");
  const std::string before = ReadWholeFile(Work("ex.txt"));
  EXPECT_EQ(Run({"ex.txt", "/I"}).Status, 2);
  EXPECT_EQ(ReadWholeFile(Work("ex.txt")), before);
  // The listing's name is taken by a folder: nothing can be written.
  CopyDesign("ex.qrk");
  fs::remove(Work("ex.txt"));
  fs::create_directories(Work("ex.txt"));
  EXPECT_EQ(Run({"ex.qrk", "/I"}).Status, 2);
  EXPECT_TRUE(fs::is_directory(Work("ex.txt")));
  EXPECT_TRUE(TmpEmpty());
}

TEST_F(WqernRun, ConcurrentBatchRunsKeepApartAndLeaveTheSessionFile) {
  WriteFileLines(Work("qern.cff"), {"x Session qern", "/a/b.qrk", "", "", ""});
  const std::string session = ReadWholeFile(Work("qern.cff"));
  std::vector<RunResult> results(4);
  std::vector<std::thread> runs;
  for (size_t i = 0; i < results.size(); ++i) {
    CopyDesign("d" + std::to_string(i) + ".qrk");
    runs.emplace_back([&, i] {
      results[i] = Run({"d" + std::to_string(i) + ".qrk", "/I"}, nullptr, std::to_string(i));
    });
  }
  for (auto& t : runs) t.join();
  const auto size = fs::file_size(Work("d0.txt"));
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].Status, 0) << results[i].Err;
    // Same design: the same listing apart from the file name in its head.
    EXPECT_EQ(fs::file_size(Work("d" + std::to_string(i) + ".txt")), size) << i;
  }
  EXPECT_EQ(ReadWholeFile(Work("qern.cff")), session);
  EXPECT_FALSE(fs::exists(Work("qern.cfg")));
  EXPECT_TRUE(TmpEmpty());
}

// Every run looks at the working folders of the others in its temporary folder while they end:
// eight loops of runs side by side in one folder for a bounded time, and no run fails because
// another one ended.
TEST_F(WqernRun, ManyRunsSideBySideInOneTemporaryFolderNeverFail) {
#ifdef __SANITIZE_ADDRESS__
  constexpr int Seconds = 4;
#else
  constexpr int Seconds = 12;
#endif
  constexpr int Loops = 8;
  CopyDesign("d.qrk");
  const std::string script = root_.File("loops.sh");
  std::string lines;
  for (const std::string& line : std::vector<std::string>{
      "cd '" + dir_.string() + "' || exit 9",
      "unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM",
      "export HOME='" + home_.string() + "' TMPDIR='" + tmp_.string() + "'",
      "for i in $(seq " + std::to_string(Loops) + "); do",
      "  ( n=0; failed=0",
      "    while [ $SECONDS -lt " + std::to_string(Seconds) + " ]; do",
      "      '" + program_ + "' d.qrk /CAD1:9 0<&- >/dev/null 2>>'" + root_.File("err") +
          "' || failed=$((failed + 1))",
      "      n=$((n + 1))",
      "    done",
      "    echo $n $failed >'" + root_.File("count") + "'$i ) &",
      "done",
      "wait"})
    lines += line + "\n";
  qern::test::WriteWholeFile(script, lines);
  ASSERT_EQ(std::system(("bash '" + script + "'").c_str()), 0);
  int runs = 0, failed = 0;
  for (int i = 1; i <= Loops; ++i) {
    const std::vector<std::string> count = ReadFileLines(root_.File("count" + std::to_string(i)));
    ASSERT_EQ(count.size(), 1u) << i;
    const size_t blank = count[0].find(' ');
    runs += std::stoi(count[0].substr(0, blank));
    failed += std::stoi(count[0].substr(blank + 1));
  }
  std::cout << runs << " runs side by side\n";
  EXPECT_GT(runs, Loops * 2);
  EXPECT_EQ(failed, 0) << ReadWholeFile(root_.File("err"));
  EXPECT_EQ(ReadWholeFile(root_.File("err")), "");
  EXPECT_EQ(Names(), std::set<std::string>{"d.qrk"});
  EXPECT_TRUE(TmpEmpty());
}

TEST_F(WqernRun, UsageMissingExtensionDrawingModeAndNoScreen) {
  for (const char* q : {"/?", "?"}) {
    // Without a screen on the standard output, so that it can be paged or piped.
    RunResult r = Run({q, "whatever.qrk", "/I"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "");
    const std::string& text = r.Out;
    for (const char* line : {"QERN Command Line Mode", "wqern Filename [/I] [/CADi:j] [/NOGUI]",
                             "/I       -> TXT file", "            i: 1=DXF, 2=IGS, 5=TXT",
                             "Example: wqern test.qrk /CAD1:1     ->  test.dxf",
                             "Example: wqern test.edi /E /NOGUI   ->  test.edi"})
      EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  for (const char* platform : {static_cast<const char*>(nullptr), "offscreen"}) {
    RunResult r = Run({"x"}, platform);
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Err.find("Erweiterung .qrk muß mit angegeben werden"), std::string::npos) << r.Err;
  }

  CopyDesign("ex.qrk");
  // Indexes without a drawing: nothing written, status 0.
  for (const char* sw : {"/CAD1:8", "/CAD1:0", "/CAD", "-cad1:99", "/CADx:8"})
    EXPECT_EQ(Run({"ex.qrk", sw}).Status, 0) << sw;
  // A drawing without its device needs the device choice: without a screen it is cancelled with
  // a message.
  for (const char* sw : {"/CADx:1", "/CAD0:13"}) {
    RunResult r = Run({"ex.qrk", sw});
    EXPECT_EQ(r.Status, 2) << sw;
    EXPECT_NE(r.Err.find(std::string(sw) + ": kein CAD-Gerät angegeben"), std::string::npos)
        << r.Err;
  }
  // A window start without a screen ends at once with its own status, also when the X platform
  // is asked for without an X display.
  for (const char* platform : {static_cast<const char*>(nullptr), "offscreen", "xcb"})
    EXPECT_EQ(Run({"ex.qrk"}, platform).Status, 4) << (platform ? platform : "");
  EXPECT_EQ(Names(), std::set<std::string>{"ex.qrk"});
  EXPECT_TRUE(TmpEmpty());
}

TEST_F(WqernRun, RunsWithoutAWindowNeverLoadTheWindowLibraries) {
  CopyDesign("d.qrk");
  // The dynamic loader's log of every file it maps, one file per process.
  const std::string log = root_.File("ld");
  env_ = "LD_DEBUG=files LD_DEBUG_OUTPUT='" + log + "' ";
  EXPECT_EQ(Run({"d.qrk", "/I"}).Status, 0);
  EXPECT_EQ(Run({"d.qrk", "/CAD1:5"}).Status, 0);
  EXPECT_EQ(Run({"d.qrk", "/CAD2:5"}).Status, 0);
  EXPECT_EQ(Run({"/?"}).Status, 0);
  EXPECT_EQ(Run({"x"}).Status, 0);
  EXPECT_EQ(Run({"d.qrk"}, "offscreen").Status, 4);
  int logs = 0;
  for (const auto& e : fs::directory_iterator(root_.File(""))) {
    if (e.path().filename().string().rfind("ld.", 0) != 0) continue;
    // The shell's helpers (env, timeout) leave logs too.
    const std::string text = ReadWholeFile(e.path().string());
    if (text.find("initialize program: " QERN_WQERN) == std::string::npos) continue;
    ++logs;
    EXPECT_NE(text.find("libc.so"), std::string::npos) << e.path();
    for (const char* name : {"libQt6", "wqern-windows", "xlsxwriter"})
      EXPECT_EQ(text.find(name), std::string::npos) << name << " in " << e.path();
  }
  EXPECT_EQ(logs, 6);
}

// An X display served by the test, on a free number: an abstract socket ("/tmp/.X11-unix/X<n>",
// which the X library tries first) or, as a display of another machine, a TCP port of 127.0.0.1
// (6000 + n). It takes connections and never answers (a stopped server), or answers each with the
// first byte of an accepting set-up and then nothing (one that froze at that moment).
class FakeXServer {
 public:
  FakeXServer(bool tcp, bool firstByte) {
    for (int n = 810; n < 900 && display_.empty(); ++n) {
      const std::string name = "/tmp/.X11-unix/X" + std::to_string(n);
      if (!tcp && fs::exists(name)) continue;
      fd_ = ::socket(tcp ? AF_INET : AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd_ < 0) return;
      int bound = -1;
      if (tcp) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(6000 + n));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound = ::bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
      } else {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path + 1, name.data(), name.size());
        bound = ::bind(fd_, reinterpret_cast<const sockaddr*>(&addr),
                       static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size()));
      }
      if (bound == 0 && ::listen(fd_, 16) == 0)
        display_ = (tcp ? "127.0.0.1:" : ":") + std::to_string(n);
      else
        ::close(fd_);
    }
    if (display_.empty() || !firstByte) return;
    server_ = ::fork();
    if (server_ != 0) return;
    std::vector<int> held;  // the connections stay open, silent
    for (;;) {
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) ::_exit(1);
      char request[256];
      if (::recv(c, request, sizeof request, 0) > 0) ::send(c, "\1", 1, MSG_NOSIGNAL);
      held.push_back(c);
    }
  }
  ~FakeXServer() {
    if (server_ > 0) {
      ::kill(server_, SIGKILL);
      ::waitpid(server_, nullptr, 0);
    }
    if (!display_.empty()) ::close(fd_);
  }
  std::string Display() const { return display_; }  // "" when none could be set up
  pid_t Pid() const { return server_; }

 private:
  int fd_ = -1;
  pid_t server_ = -1;
  std::string display_;
};

// The test becomes the parent of every process its runs leave behind (orphans come to it, not to
// the system's first process), so that a probe which outlives its program is seen here.
class OrphanWatch {
 public:
  OrphanWatch() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
  ~OrphanWatch() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
  // The test's child processes other than those kept (its servers), each then killed and reaped.
  std::vector<pid_t> Stray(const std::set<pid_t>& keep) const {
    std::vector<pid_t> stray;
    for (const pid_t pid : ChildrenOf(::getpid()))
      if (!keep.count(pid)) {
        stray.push_back(pid);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
    return stray;
  }
  // The children of a process, those of each of its threads.
  static std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
      std::istringstream in(ReadWholeFile((task.path() / "children").string()));
      for (pid_t child = 0; in >> child;) children.push_back(child);
    }
    return children;
  }
};

TEST_F(WqernRun, ADisplayThatDoesNotAnswerIsARunWithoutAScreen) {
  // An X display number nobody serves here (no socket of that number, and the test's own
  // Wayland socket name in a folder that holds none).
  int number = 987;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) ++number;
  const std::string display = ":" + std::to_string(number);
  CopyDesign("d.qrk");
  for (const char* platform : {static_cast<const char*>(nullptr), "xcb", "xcb:nomitshm"}) {
    const std::string name = platform ? platform : "default";
    env_ = "DISPLAY=" + display + " ";
    // The usage goes to the standard output, as without any display.
    RunResult r = Run({"/?"}, platform);
    EXPECT_EQ(r.Status, 0) << name << r.Err;
    EXPECT_NE(r.Out.find("QERN Command Line Mode"), std::string::npos) << name;
    EXPECT_NE(r.Out.find("/?       -> Help"), std::string::npos) << name;
    // A window start says why it cannot show its window and ends with the window status.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"d.qrk"}, std::vector<std::string>{}}) {
      r = Run(args, platform);
      EXPECT_EQ(r.Status, 4) << name << r.Err;
      EXPECT_NE(r.Err.find("the display " + display + " cannot be opened"), std::string::npos)
          << name << r.Err;
      EXPECT_EQ(r.Out, "") << name;
    }
    // Batch runs are unaffected.
    EXPECT_EQ(Run({"d.qrk", "/I"}, platform).Status, 0) << name;
    EXPECT_EQ(Run({"d.qrk", "/CAD1:1"}, platform).Status, 0) << name;
    EXPECT_TRUE(fs::exists(Work("d.txt")) && fs::exists(Work("d.dxf"))) << name;
  }
  // An X server that takes the connection but never answers (a stopped one).
  {
    const FakeXServer silent(false, false);
    ASSERT_NE(silent.Display(), "");
    env_ = "DISPLAY=" + silent.Display() + " ";
    const auto started = std::chrono::steady_clock::now();
    const RunResult r = Run({"d.qrk"}, "xcb");
    EXPECT_EQ(r.Status, 4) << r.Err;
    EXPECT_NE(r.Err.find("the display " + silent.Display() + " cannot be opened"), std::string::npos)
        << r.Err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
  }

  // A Wayland display whose socket is not there.
  env_ = "XDG_RUNTIME_DIR='" + root_.File("") + "' WAYLAND_DISPLAY=wl-none ";
  RunResult r = Run({"d.qrk"}, "wayland");
  EXPECT_EQ(r.Status, 4) << r.Err;
  EXPECT_NE(r.Err.find("the display wl-none cannot be opened"), std::string::npos) << r.Err;
  EXPECT_EQ(Run({"/?"}, "wayland").Status, 0);
  // Both asked for, neither answers: the first is named.
  env_ += "DISPLAY=" + display + " ";
  r = Run({"d.qrk"}, "wayland;xcb");
  EXPECT_EQ(r.Status, 4) << r.Err;
  EXPECT_NE(r.Err.find("the display wl-none cannot be opened"), std::string::npos) << r.Err;
  EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "d.txt", "d.dxf"}));
  EXPECT_TRUE(TmpEmpty());
}

// A Wayland compositor's socket in a folder of the test: one that takes connections and never
// answers, or one served by a child process that answers every round trip (wl_display.sync with
// the callback's done, then the display's delete_id), as a compositor does first.
class WaylandSocket {
 public:
  WaylandSocket(const std::string& path, bool answers) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
          ::listen(fd_, 16) == 0;
    if (!ok_ || !answers) return;
    server_ = ::fork();
    if (server_ != 0) return;
    for (;;) {
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) ::_exit(1);
      uint32_t request[3];
      while (::recv(c, request, sizeof request, MSG_WAITALL) == sizeof request) {
        if (request[0] != 1 || request[1] != ((12u << 16) | 0u)) break;
        const uint32_t done[3] = {request[2], (12u << 16) | 0u, 7};
        const uint32_t deleted[3] = {1, (12u << 16) | 1u, request[2]};
        if (::send(c, done, sizeof done, MSG_NOSIGNAL) < 0 ||
            ::send(c, deleted, sizeof deleted, MSG_NOSIGNAL) < 0)
          break;
      }
      ::close(c);
    }
  }
  ~WaylandSocket() {
    if (server_ > 0) {
      ::kill(server_, SIGKILL);
      ::waitpid(server_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
    ::unlink(path_.c_str());
  }
  bool Ok() const { return ok_; }

 private:
  std::string path_;
  int fd_ = -1;
  pid_t server_ = -1;
  bool ok_ = false;
};

TEST_F(WqernRun, TheProgramAloneRunsBatchAndTellsThatItsWindowsAreMissing) {
  // A copy of the program without the window module beside it.
  const fs::path alone = root_.File("alone");
  fs::create_directories(alone);
  fs::copy_file(QERN_WQERN, alone / "wqern");
  program_ = (alone / "wqern").string();
  CopyDesign("d.qrk");
  EXPECT_EQ(Run({"d.qrk", "/I"}).Status, 0);
  EXPECT_EQ(Run({"d.qrk", "/CAD1:1"}).Status, 0);
  EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "d.txt", "d.dxf"}));
  // A window start with a display that answers asks for the module.
  WaylandSocket answering(root_.File("wl-answer"), true);
  ASSERT_TRUE(answering.Ok());
  env_ = "XDG_RUNTIME_DIR='" + root_.File("") + "' WAYLAND_DISPLAY=wl-answer ";
  const RunResult r = Run({"d.qrk"}, "wayland");
  EXPECT_EQ(r.Status, 4);
  EXPECT_NE(r.Err.find("wqern: the windows cannot be shown"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("wqern-windows.so"), std::string::npos) << r.Err;
}

// A real X server on a free display number (with an authority file when one is named), stopped
// after it has started when asked: it then takes connections and never answers them. As on a
// desktop it does not start over when its last client leaves (runs side by side would meet it
// while it does).
class XServer {
 public:
  explicit XServer(bool stopped, const std::string& authority = "") {
    // The server picks a free display itself and names it through a pipe: tests that run at the
    // same time never share one.
    int named[2];
    if (::pipe(named) != 0) return;
    server_ = ::fork();
    if (server_ == 0) {
      ::close(named[0]);
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const std::string fd = std::to_string(named[1]);
      if (authority.empty())
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
                 static_cast<char*>(nullptr));
      else
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
                 "-auth", authority.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(named[1]);
    std::string digits;
    pollfd p{named[0], POLLIN, 0};
    char c = 0;
    while (::poll(&p, 1, 10000) == 1 && ::read(named[0], &c, 1) == 1 && c != '\n') digits += c;
    ::close(named[0]);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return;
    number_ = std::stoi(digits);
    started_ = fs::exists("/tmp/.X11-unix/X" + digits);
    if (stopped) ::kill(server_, SIGSTOP);
  }
  ~XServer() {
    if (server_ <= 0) return;
    ::kill(server_, SIGKILL);
    ::waitpid(server_, nullptr, 0);
    if (!started_) return;
    fs::remove("/tmp/.X11-unix/X" + std::to_string(number_));
    fs::remove("/tmp/.X" + std::to_string(number_) + "-lock");
  }
  bool Started() const { return started_; }
  int Number() const { return number_; }
  std::string Display() const { return ":" + std::to_string(number_); }
  pid_t Pid() const { return server_; }

 private:
  int number_ = 0;
  pid_t server_ = -1;
  bool started_ = false;
};

// An X authority file of one entry: family, address, display number, name, data, each but the
// family with its length (16 bits, high byte first).
void WriteXAuthority(const std::string& file, unsigned family, const std::string& address,
                     const std::string& number, const std::string& cookie) {
  std::string bytes;
  auto add16 = [&](size_t n) {
    bytes += static_cast<char>(n >> 8);
    bytes += static_cast<char>(n & 0xff);
  };
  add16(family);
  for (const std::string& field : {address, number, std::string("MIT-MAGIC-COOKIE-1"), cookie}) {
    add16(field.size());
    bytes += field;
  }
  qern::test::WriteWholeFile(file, bytes);
}

// The program with a window module beside it that tells the platform chosen and ends; the Qt
// plugins of the test (empty files of the names Qt looks for) stand in for installed ones.
class WqernPlatform : public WqernRun {
 protected:
  void SetUp() override {
    WqernRun::SetUp();
    fs::create_directories(program_dir_);
    fs::copy_file(QERN_WQERN, program_dir_ / "wqern");
    fs::copy_file(QERN_PLATFORM_REPORT_MODULE, program_dir_ / "wqern-windows.so");
    program_ = (program_dir_ / "wqern").string();
    fs::create_directories(plugins_ / "platforms");
    for (const char* name : {"libqwayland-generic.so", "libqxcb.so", "libqlinuxfb.so", "libqeglfs.so"})
      WriteFileLines((plugins_ / "platforms" / name).string(), {""});
    CopyDesign("d.qrk");
  }
  // Runs a window start and the usage; the usage goes to the standard output whenever no
  // window can be shown.
  RunResult Start(const char* platform, std::vector<std::string> args = {"d.qrk"}) {
    const auto started = std::chrono::steady_clock::now();
    RunResult r = Run(args, platform);
    // Hang guard only: a display is given a few seconds to answer.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(12));
    return r;
  }
  void ExpectNoWindow(const char* platform, const std::string& why) {
    const std::string name = platform ? platform : "default";
    RunResult r = Start(platform);
    EXPECT_EQ(r.Status, 4) << name << r.Err;
    EXPECT_NE(r.Err.find("wqern: " + why + "; no window can be shown"), std::string::npos)
        << name << r.Err;
    EXPECT_EQ(r.Out, "") << name;
    r = Start(platform, {"/?"});
    EXPECT_EQ(r.Status, 0) << name << r.Err;
    EXPECT_NE(r.Out.find("QERN Command Line Mode"), std::string::npos) << name << r.Out;
  }
  void ExpectWindowOn(const char* platform, const std::string& chosen) {
    const std::string name = platform ? platform : "default";
    for (const char* arg : {"d.qrk", "/?"}) {
      const RunResult r = Start(platform, {arg});
      EXPECT_EQ(r.Status, 0) << name << " " << arg << r.Err;
      EXPECT_EQ(r.Out, "windows on " + chosen + "\n") << name << " " << arg;
    }
  }
  std::string WaylandEnv(const std::string& socket) const {
    return "QT_PLUGIN_PATH='" + plugins_.string() + "' XDG_RUNTIME_DIR='" + root_.File("") +
           "' WAYLAND_DISPLAY=" + socket + " ";
  }

  fs::path program_dir_ = root_.File("bin"), plugins_ = root_.File("plugins");
};

TEST_F(WqernPlatform, AWaylandDisplayMustAnswerARoundTrip) {
  WaylandSocket silent(root_.File("wl-silent"), false), answering(root_.File("wl-answer"), true);
  ASSERT_TRUE(silent.Ok() && answering.Ok());
  // A compositor that answers: the windows open on Wayland, asked for or not.
  env_ = WaylandEnv("wl-answer");
  ExpectWindowOn("wayland", "wayland");
  ExpectWindowOn(nullptr, "wayland");
  // The socket given as a path.
  env_ = WaylandEnv(root_.File("wl-answer"));
  ExpectWindowOn("wayland", "wayland");
  // One that takes the connection and never answers, as a stopped compositor.
  env_ = WaylandEnv("wl-silent");
  ExpectNoWindow("wayland", "the display wl-silent does not answer");
  // The first that answers is taken, with its options.
  env_ = WaylandEnv("wl-answer") + "DISPLAY=:989 ";
  ExpectWindowOn("xcb;wayland:opt", "wayland:opt");
}

TEST_F(WqernPlatform, AStoppedXServerBesideAWaylandDisplay) {
  XServer x(true);
  ASSERT_TRUE(x.Started()) << "Xvfb did not start";
  WaylandSocket silent(root_.File("wl-silent"), false), answering(root_.File("wl-answer"), true);
  ASSERT_TRUE(silent.Ok() && answering.Ok());
  // Neither answers: the X display is named, as the one tried first.
  env_ = WaylandEnv("wl-silent") + "DISPLAY=" + x.Display() + " ";
  ExpectNoWindow(nullptr, "the display " + x.Display() + " cannot be opened");
  // In a Wayland session Wayland comes first.
  env_ += "XDG_SESSION_TYPE=wayland ";
  ExpectNoWindow(nullptr, "the display wl-silent does not answer");
  // The compositor answers: the windows go there, not to the stopped server.
  env_ = WaylandEnv("wl-answer") + "DISPLAY=" + x.Display() + " ";
  ExpectWindowOn(nullptr, "wayland");
  ExpectNoWindow("xcb", "the display " + x.Display() + " cannot be opened");
}

TEST_F(WqernPlatform, AnXServerThatAnswersTakesTheUsersCookie) {
  const std::string cookie = "0123456789abcdef", other = "fedcba9876543210";
  WriteXAuthority(root_.File("server-auth"), 65535, "", "", cookie);
  XServer x(false, root_.File("server-auth"));
  ASSERT_TRUE(x.Started()) << "Xvfb did not start";
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string number = std::to_string(x.Number());
  // The cookie for any host, for this host and this display, in either form of the display name.
  for (const auto& [family, address, display] :
       {std::tuple{65535u, std::string(), std::string()},
        std::tuple{256u, std::string(host), number}}) {
    WriteXAuthority(root_.File("user-auth"), family, address, display, cookie);
    for (const std::string& name : {x.Display(), "unix" + x.Display() + ".0"}) {
      env_ = "XAUTHORITY='" + root_.File("user-auth") + "' DISPLAY=" + name + " ";
      ExpectWindowOn("xcb", "xcb");
      ExpectWindowOn(nullptr, "xcb");
    }
  }
  // A wrong cookie, one for another display or another host, none at all: refused.
  for (const auto& [family, address, display, data] :
       {std::tuple{65535u, std::string(), std::string(), other},
        std::tuple{256u, std::string(host), number + "0", cookie},
        std::tuple{256u, std::string("elsewhere"), number, cookie}}) {
    WriteXAuthority(root_.File("user-auth"), family, address, display, data);
    env_ = "XAUTHORITY='" + root_.File("user-auth") + "' DISPLAY=" + x.Display() + " ";
    ExpectNoWindow("xcb", "the display " + x.Display() + " cannot be opened");
  }
  env_ = "XAUTHORITY='" + root_.File("none") + "' DISPLAY=" + x.Display() + " ";
  ExpectNoWindow(nullptr, "the display " + x.Display() + " cannot be opened");
}

TEST_F(WqernPlatform, PlatformsThisMachineCannotServe) {
  // A platform the program cannot ask whether it shows a window is refused, its plugin installed
  // or not; the first asked for is named, the next one is tried.
  WaylandSocket answering(root_.File("wl-answer"), true);
  ASSERT_TRUE(answering.Ok());
  env_ = WaylandEnv("wl-answer");
  const std::string others =
      " is not supported; the windows open on xcb, wayland, wayland-egl or linuxfb";
  ExpectNoWindow("qernnowhere", "the platform qernnowhere" + others);
  ExpectNoWindow("qernnowhere;alsonot", "the platform qernnowhere" + others);
  WriteFileLines((plugins_ / "platforms" / "libqqernown.so").string(), {""});
  ExpectNoWindow("qernown", "the platform qernown" + others);
  ExpectWindowOn("qernnowhere;linuxfb:fb=/dev/null;wayland", "wayland");
  // The frame buffer and graphics card platforms need their devices.
  const std::string missing = root_.File("fb-none");
  ExpectNoWindow(("linuxfb:fb=" + missing).c_str(),
                 "the platform linuxfb cannot use the frame buffer " + missing);
  ExpectNoWindow(("linuxfb:size=80x60:fb=" + missing + ":depth=16").c_str(),
                 "the platform linuxfb cannot use the frame buffer " + missing);
  // Not a frame buffer at all.
  ExpectNoWindow("linuxfb:fb=/dev/null", "the platform linuxfb cannot use the frame buffer /dev/null");
  ExpectNoWindow("eglfs", "the platform eglfs" + others);
}

// Every edge of asking the display, window start and usage each: the window shows, or the
// program says which display or platform cannot be used and ends with 4 in time, without a
// signal and without leaving a process behind. The cases run side by side: those that must
// wait for their display cost that wait once.
TEST_F(WqernPlatform, EveryDisplayEdgeEndsInTimeAndLeavesNothing) {
  const OrphanWatch orphans;
  const XServer x(false);  // one screen, no authority asked
  ASSERT_TRUE(x.Started()) << "Xvfb did not start";
  const FakeXServer firstByte(false, true);
  ASSERT_NE(firstByte.Display(), "");
  const std::string folder = root_.File("auth-folder"), fifo = root_.File("auth-fifo"),
                    folderHome = root_.File("home-auth-folder");
  fs::create_directories(folder);
  fs::create_directories(fs::path(folderHome) / ".Xauthority");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string on = "DISPLAY=" + x.Display() + " ", cannot = " cannot be opened",
                    notSupported = " is not supported; the windows open on ";
  struct Case {
    std::string Env;
    const char* Platform;
    std::string Expected;  // "windows on ..." when they show, else why not
  };
  const std::vector<Case> cases = {
      {on + "XAUTHORITY='" + folder + "' ", "xcb", "windows on xcb"},
      {on + "HOME='" + folderHome + "' ", nullptr, "windows on xcb"},
      {on + "XAUTHORITY=/dev/zero ", "xcb", "the display " + x.Display() + cannot},
      {on + "XAUTHORITY='" + fifo + "' ", nullptr, "the display " + x.Display() + cannot},
      {"DISPLAY=" + x.Display() + ".7 ", "xcb",
       "the display " + x.Display() + ".7" + cannot + " (its server has no such screen)"},
      {"DISPLAY=" + x.Display() + ".99999999999 ", nullptr,
       "the display " + x.Display() + ".99999999999" + cannot + " (its server has no such screen)"},
      {"DISPLAY=" + firstByte.Display() + " ", "xcb", "the display " + firstByte.Display() + cannot},
      {on, "minimalegl", "the platform minimalegl" + notSupported},
      {on, "vkkhrdisplay", "the platform vkkhrdisplay" + notSupported},
      {on, "vkkhrdisplay;xcb", "windows on xcb"},
  };
  struct Timed {
    RunResult Result;
    std::chrono::steady_clock::duration Took;
  };
  std::vector<std::future<Timed>> runs;
  for (size_t i = 0; i < cases.size(); ++i)
    for (const char* arg : {"d.qrk", "/?"})
      runs.push_back(std::async(std::launch::async, [&, i, arg] {
        const auto started = std::chrono::steady_clock::now();
        RunResult r = RunWith(cases[i].Env, {arg}, cases[i].Platform,
                              std::to_string(i) + (arg[0] == '/' ? "u" : "w"));
        return Timed{r, std::chrono::steady_clock::now() - started};
      }));
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string name = c.Env + (c.Platform ? c.Platform : "default");
    const Timed window = runs[2 * i].get(), usage = runs[2 * i + 1].get();
    // The time limit is 4 s; a loaded machine starts the programs late.
    EXPECT_LT(window.Took, std::chrono::seconds(12)) << name;
    EXPECT_LT(usage.Took, std::chrono::seconds(12)) << name;
    if (c.Expected.rfind("windows on ", 0) == 0) {
      for (const RunResult& r : {window.Result, usage.Result}) {
        EXPECT_EQ(r.Status, 0) << name << r.Err;
        EXPECT_EQ(r.Out, c.Expected + "\n") << name;
      }
      continue;
    }
    EXPECT_EQ(window.Result.Status, 4) << name << window.Result.Err;
    EXPECT_NE(window.Result.Err.find("wqern: " + c.Expected), std::string::npos)
        << name << window.Result.Err;
    EXPECT_NE(window.Result.Err.find("; no window can be shown"), std::string::npos) << name;
    EXPECT_EQ(window.Result.Out, "") << name;
    EXPECT_EQ(usage.Result.Status, 0) << name << usage.Result.Err;
    EXPECT_NE(usage.Result.Out.find("QERN Command Line Mode"), std::string::npos) << name;
  }
  // A platform refused names those that can be used.
  EXPECT_NE(RunWith(on, {"d.qrk"}, "minimalegl", "list").Err.find(notSupported + "xcb, wayland"),
            std::string::npos);
  EXPECT_EQ(orphans.Stray({x.Pid(), firstByte.Pid()}), std::vector<pid_t>{});
}

// TERM, HUP or KILL while the program waits for a silent display (of another machine) ends the
// process that asks it as well.
TEST_F(WqernRun, ASignalWhileTheDisplayIsAskedEndsItsProbeToo) {
  const OrphanWatch orphans;
  const FakeXServer silent(true, false);
  ASSERT_NE(silent.Display(), "");
  CopyDesign("d.qrk");
  for (const int signal : {SIGTERM, SIGHUP, SIGKILL}) {
    const std::vector<std::string> argv = {
        "env", "-i", "HOME=" + home_.string(), "TMPDIR=" + tmp_.string(),
        "DISPLAY=" + silent.Display(), "QT_QPA_PLATFORM=xcb", program_, "d.qrk"};
    const pid_t run = ::fork();
    if (run == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      for (const int fd : {0, 1, 2}) ::dup2(null, fd);
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv("/usr/bin/env", args.data());
      ::_exit(127);
    }
    ASSERT_GT(run, 0);
    // The program's own child asks the display.
    std::vector<pid_t> probes;
    for (int i = 0; i < 500 && probes.empty(); ++i) {
      probes = OrphanWatch::ChildrenOf(run);
      if (probes.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(run, signal);
    int status = 0;
    ::waitpid(run, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << status;
    ASSERT_EQ(probes.size(), 1u) << signal;
    // It ends with the program and comes to the test to be reaped.
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
      ended = ::waitpid(probes[0], nullptr, WNOHANG) == probes[0];
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ended) << "signal " << signal << ": probe " << probes[0] << " left running";
  }
  EXPECT_EQ(orphans.Stray({silent.Pid()}), std::vector<pid_t>{});
}

TEST(WindowModule, ShowsOnlyItsEntryAndBindsItsOwnState) {
  void* module = ::dlopen(QERN_WINDOW_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << ::dlerror();
  EXPECT_NE(::dlsym(module, "qern_window_main"), nullptr);
  // The program state (qern::Flags) and the main window's functions stay inside.
  EXPECT_EQ(::dlsym(module, "_ZN4qern5FlagsE"), nullptr);
  EXPECT_EQ(::dlsym(module, "_ZN4qern12ProgramStartEv"), nullptr);
}

}  // namespace

TEST_F(WqernRun, DrawingModeWritesTheDxfNamedAfterTheDesign) {
  CopyDesign("d.qrk");
  for (const char* sw : {"/CAD1:1", "/CAD1:2", "/CAD1:3", "/CAD1:4", "/CAD1:5", "/CAD1:6",
                         "-cad1:7", "/CAD1:13"}) {
    fs::remove(Work("d.dxf"));
    RunResult r = Run({"d.qrk", sw});
    EXPECT_EQ(r.Status, 0) << sw << r.Err;
    const std::string dxf = ReadWholeFile(Work("d.dxf"));
    EXPECT_EQ(dxf.rfind("  0\r\nSECTION\r\n", 0), 0u) << sw;
    EXPECT_NE(dxf.find("  0\r\nEOF\r\n"), std::string::npos) << sw;
    EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "d.dxf"})) << sw;
    EXPECT_TRUE(TmpEmpty()) << sw;
  }
  // The manufacturing drawing of the shaft carries its sheet and table blocks.
  ASSERT_EQ(Run({"d.qrk", "/CAD1:5"}).Status, 0);
  const std::string dxf = ReadWholeFile(Work("d.dxf"));
  for (const char* block : {"FRAME_1", "WLSTUMP", "WELLE", "TABELLE"})
    EXPECT_NE(dxf.find("  2\r\n" + std::string(block) + "\r\n"), std::string::npos) << block;
}

TEST_F(WqernRun, DrawingModeWritesIgesAndCadText) {
  CopyDesign("d.qrk");
  ASSERT_EQ(Run({"d.qrk", "/CAD2:5"}).Status, 0);
  const auto igs = ReadFileLines(Work("d.igs"));
  ASSERT_GT(igs.size(), 10u);
  EXPECT_EQ(igs.front().substr(72), "S0000001");
  EXPECT_EQ(igs.back().substr(72), "T0000001");
  ASSERT_EQ(Run({"d.qrk", "/CAD5:13"}).Status, 0);
  const auto txt = ReadFileLines(Work("d.txt"));
  ASSERT_GT(txt.size(), 3u);
  EXPECT_EQ(txt.front().rfind("MINMAX\t", 0), 0u);
  EXPECT_EQ(txt.back(), "EOF");
  EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "d.igs", "d.txt"}));
  EXPECT_TRUE(TmpEmpty());
}

namespace {

// One rule for every output of the command line: a link at the output's name is replaced by the
// output, the link's target is never written.
TEST_F(WqernRun, OutputsReplaceALinkAtTheirNameNeverWriteThroughIt) {
  CopyDesign("d.qrk");
  const std::string victim = root_.File("victim");
  qern::test::WriteWholeFile(victim, "precious");
  struct Case {
    const char* Switch;
    const char* Output;
  };
  for (const Case& c : {Case{"/I", "d.txt"}, Case{"/CAD1:5", "d.dxf"}, Case{"/CAD2:1", "d.igs"},
                        Case{"/CAD5:1", "d.txt"}}) {
    fs::remove(Work(c.Output));
    QERN_PLANT_FOREIGN_LINK(victim, Work(c.Output));
    const RunResult r = Run({"d.qrk", c.Switch});
    EXPECT_EQ(r.Status, 0) << c.Switch << r.Err;
    EXPECT_EQ(ReadWholeFile(victim), "precious") << c.Switch;
    EXPECT_FALSE(fs::is_symlink(Work(c.Output))) << c.Switch;
    EXPECT_GT(fs::file_size(Work(c.Output)), 100u) << c.Switch;
  }
  EXPECT_TRUE(TmpEmpty());
}

// Each output of the command line keeps the access list and the user's attributes of the file it
// replaces: the owning group, which had no access, gets none, the named user keeps reading.
TEST_F(WqernRun, OutputsKeepTheAccessListAndAttributesOfTheFileTheyReplace) {
  CopyDesign("d.qrk");
  struct Case {
    const char* Switch;
    const char* Output;
  };
  for (const Case& c : {Case{"/I", "d.txt"}, Case{"/CAD1:5", "d.dxf"}, Case{"/CAD2:5", "d.igs"},
                        Case{"/CAD5:5", "d.txt"}}) {
    SCOPED_TRACE(c.Switch);
    const std::string out = Work(c.Output).string();
    fs::remove(out);
    qern::test::WriteWholeFile(out, "old");
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
    if (!qern::test::SetFacl("-m u:daemon:r '" + out + "'")) GTEST_SKIP() << "no setfacl or no ACLs here";
    const bool attribute = ::setxattr(out.c_str(), "user.project", "p7", 2, 0) == 0;
    const std::string acl = qern::test::FaclOf(out);
    RunResult r = Run({"d.qrk", c.Switch});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_GT(fs::file_size(out), 100u);
    EXPECT_EQ(qern::test::FaclOf(out), acl);
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    char value[8] = {};
    if (attribute) {
      EXPECT_EQ(::getxattr(out.c_str(), "user.project", value, sizeof value), 2);
      EXPECT_EQ(std::string(value), "p7");
    }
  }
  EXPECT_TRUE(TmpEmpty());
}

// The longest names the file system allows: 251 letters, or 125 "Ä", and the extension.
TEST_F(WqernRun, LongestDesignNamesWriteEveryOutput) {
  std::string ae;
  for (int i = 0; i < 125; ++i) ae += "Ä";
  for (const std::string& base : {std::string(251, 'a'), ae}) {
    CopyDesign(base + ".qrk");
    for (const char* sw : {"/I", "/CAD1:1", "/CAD2:1", "/CAD5:1"}) {
      const RunResult r = Run({base + ".qrk", sw});
      EXPECT_EQ(r.Status, 0) << sw << r.Err;
    }
    EXPECT_EQ(Names(), (std::set<std::string>{base + ".qrk", base + ".txt", base + ".dxf", base + ".igs"}));
    for (const std::string& n : Names()) fs::remove(Work(n));
  }
  EXPECT_TRUE(TmpEmpty());
}

// Working folders that killed runs left in the temporary folder are removed by the next run.
TEST_F(WqernRun, WorkingFoldersOfKilledRunsAreRemovedAtStart) {
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const fs::path stale = tmp_ / (".wqern-" + std::to_string(ended) + "-Ab12Cd");
  fs::create_directories(stale);
  qern::test::WriteWholeFile((stale / "$$$1.txt").string(), "listing");
  const fs::path older = tmp_ / "wqern-Cd34Ef";
  fs::create_directories(older);
  const timespec old[2] = {{std::time(nullptr) - 7200, 0}, {std::time(nullptr) - 7200, 0}};
  ::utimensat(AT_FDCWD, older.c_str(), old, 0);
  CopyDesign("d.qrk");
  EXPECT_EQ(Run({"d.qrk", "/I"}).Status, 0);
  EXPECT_TRUE(TmpEmpty());
}

// An output that cannot be written says why: a folder at its name, a link that leads nowhere,
// links in a circle, no descriptors left; as another user a folder without write permission
// (said once at the start, though it serves as every folder) and another user's link in a shared
// folder. Nothing is left behind.
TEST_F(WqernRun, OutputsThatCannotBeWrittenSayWhy) {
  CopyDesign("d.qrk");
  struct Case {
    std::string Switch, Output, Reason;
    std::function<void(const fs::path&)> Make;
  };
  const fs::path nowhere = root_.File("fehlt") + std::string("/ziel");
  const std::vector<Case> cases = {
      {"/I", "d.txt", "d.txt ist ein Ordner", [](const fs::path& p) { fs::create_directory(p); }},
      {"/CAD1:1", "d.dxf", "d.dxf ist ein Ordner", [](const fs::path& p) { fs::create_directory(p); }},
      {"/I", "d.txt", "Verweis d.txt führt ins Leere (" + nowhere.string() + ")",
       [&](const fs::path& p) { fs::create_symlink(nowhere, p); }},
      {"/CAD2:1", "d.igs", "d.igs: Verweise im Kreis",
       [](const fs::path& p) { fs::create_symlink(p.filename(), p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Switch + " " + c.Reason);
    c.Make(Work(c.Output));
    const RunResult r = Run({"d.qrk", c.Switch});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find(c.Reason), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("Fehler bei Zugriff"), std::string::npos) << r.Err;
    fs::remove(Work(c.Output));
  }
  EXPECT_EQ(Names(), std::set<std::string>{"d.qrk"});

  RunResult r;
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's runtime needs descriptors of its own
  // One descriptor free is all a listing needs: its stream writes into its working file.
  env_ = "prlimit --nofile=3:3 ";
  r = Run({"d.qrk", "/I"});
  env_.clear();
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "d.txt"}));
  fs::remove(Work("d.txt"));
  EXPECT_TRUE(TmpEmpty());
#endif

  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  env_ = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  if (const std::string why = StartAsUser(); !why.empty()) GTEST_SKIP() << why;
  r = Run({"d.qrk", "/I"});
  EXPECT_EQ(r.Status, 2);
  const std::string folder = dir_.string() + "/";
  const std::string once =
      "In den Ordner " + folder + " kann nicht geschrieben werden (keine Schreibberechtigung) !";
  ASSERT_NE(r.Err.find(once), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find(once, r.Err.find(once) + 1), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find("ungültiger"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("Datei d.txt nicht geschrieben: keine Schreibberechtigung im Ordner " + folder + " !"),
            std::string::npos)
      << r.Err;

  // Root's link in a shared folder is neither written through nor replaced by another user.
  fs::permissions(dir_, fs::perms::all | fs::perms::sticky_bit);
  fs::create_symlink(nowhere, Work("d.txt"));
  r = Run({"d.qrk", "/I"});
  env_.clear();
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("Datei d.txt nicht geschrieben: d.txt ist ein Verweis eines anderen Benutzers !"),
            std::string::npos)
      << r.Err;
  EXPECT_TRUE(fs::is_symlink(Work("d.txt")));
  EXPECT_EQ(Names(), (std::set<std::string>{"d.qrk", "d.txt"}));
}

// Memory that runs out in a batch run (a design with a part name of 10 MB, run with less and less
// room) ends with the message of what was being done and status 2, never with an abort; an
// earlier output stays as it was, and no working file or folder is left.
TEST_F(WqernRun, RunningOutOfMemoryEndsWithTwoAndKeepsTheOldOutput) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer's allocator ends the program where memory runs out";
#endif
  // The least room in which a plain design is listed.
  CopyDesign("plain.qrk");
  size_t base = 0;
  for (size_t mb = 16; mb <= 256 && base == 0; mb += 4) {
    env_ = "prlimit --as=" + std::to_string(mb << 20) + " ";
    if (Run({"plain.qrk", "/I"}).Status == 0) base = mb;
  }
  ASSERT_GT(base, 0u);
  fs::remove(Work("plain.qrk"));
  fs::remove(Work("plain.txt"));

  std::vector<std::string> lines = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  ASSERT_EQ(lines[14], "External spline");
  lines[14] = std::string(size_t{10} << 20, 'W');
  WriteFileLines(Work("big.qrk").string(), lines);
  int outOfMemory = 0, written = 0;
  for (const auto& [sw, output] : {std::pair<std::string, std::string>{"/I", "big.txt"},
                                   std::pair<std::string, std::string>{"/CAD1:1", "big.dxf"}}) {
    for (size_t mb = base; mb <= base + 64; mb += 4) {
      SCOPED_TRACE(sw + " " + std::to_string(mb) + " MB");
      qern::test::WriteWholeFile(Work(output).string(), "old");
      env_ = "prlimit --as=" + std::to_string(mb << 20) + " ";
      const RunResult r = Run({"big.qrk", sw});
      ASSERT_TRUE(r.Status == 0 || r.Status == 2) << r.Status << r.Err;
      if (r.Status == 2) {
        ++outOfMemory;
        EXPECT_NE(r.Err.find("Nicht genügend Speicher beim "), std::string::npos) << r.Err;
        EXPECT_EQ(ReadWholeFile(Work(output).string()), "old");
      } else {
        ++written;
        EXPECT_GT(fs::file_size(Work(output)), 1000u);
      }
      EXPECT_EQ(Names(), (std::set<std::string>{"big.qrk", output}));
      EXPECT_TRUE(TmpEmpty());
    }
    fs::remove(Work(output));
  }
  env_.clear();
  EXPECT_GT(outOfMemory, 0);
  EXPECT_GT(written, 0);
}

}  // namespace
