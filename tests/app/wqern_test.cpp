// Runs the built wqern as a user would from a shell without a screen: in a fresh folder, stdin
// closed, no DISPLAY, and checks exit status, files written and messages.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
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
                const std::string& tag = "") {
    const std::string out = root_.File("out" + tag), err = root_.File("err" + tag);
    std::string cmd = "cd '" + dir_.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " +
                      "-u QT_QPA_PLATFORM HOME='" + home_.string() + "' TMPDIR='" +
                      tmp_.string() + "' " + env_;
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
  // A window start with a screen (a platform of its own, not tested before) asks for the module.
  const RunResult r = Run({"d.qrk"}, "vnc");
  EXPECT_EQ(r.Status, 4);
  EXPECT_NE(r.Err.find("wqern: the windows cannot be shown"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("wqern-windows.so"), std::string::npos) << r.Err;
}

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
  // An X server that takes the connection but never answers (a stopped one): an abstract
  // socket of a free display number that nobody accepts from.
  const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(silent, 0);
  int silentNumber = number + 1;
  for (;; ++silentNumber) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(silentNumber);
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    if (fs::exists(name)) continue;
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(silent, reinterpret_cast<const sockaddr*>(&addr), length) == 0) break;
    ASSERT_LT(silentNumber, number + 100);
  }
  ASSERT_EQ(::listen(silent, 8), 0);
  env_ = "DISPLAY=:" + std::to_string(silentNumber) + " ";
  const auto started = std::chrono::steady_clock::now();
  RunResult r = Run({"d.qrk"}, "xcb");
  EXPECT_EQ(r.Status, 4) << r.Err;
  EXPECT_NE(r.Err.find("the display :" + std::to_string(silentNumber) + " cannot be opened"),
            std::string::npos)
      << r.Err;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
  ::close(silent);

  // A Wayland display whose socket is not there.
  env_ = "XDG_RUNTIME_DIR='" + root_.File("") + "' WAYLAND_DISPLAY=wl-none ";
  r = Run({"d.qrk"}, "wayland");
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

// A real X server on a free display number (with an authority file when one is named), stopped
// after it has started when asked: it then takes connections and never answers them.
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
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
      else
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-auth",
                 authority.c_str(), static_cast<char*>(nullptr));
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
  // No plugin of that name.
  env_ = "QT_PLUGIN_PATH='" + plugins_.string() + "' ";
  ExpectNoWindow("qernnowhere", "the Qt platform plugin qernnowhere is not installed");
  ExpectNoWindow("qernnowhere;alsonot",
                 "the Qt platform plugin qernnowhere is not installed");
  // Installed in the folder Qt is told, it counts (an own platform, nothing more to ask).
  WriteFileLines((plugins_ / "platforms" / "libqqernown.so").string(), {""});
  ExpectWindowOn("qernown", "qernown");
  ExpectWindowOn("qernnowhere;qernown", "qernown");
  // The frame buffer and graphics card platforms need their devices.
  const std::string missing = root_.File("fb-none");
  ExpectNoWindow(("linuxfb:fb=" + missing).c_str(),
                 "the platform linuxfb cannot use the frame buffer " + missing);
  ExpectNoWindow(("linuxfb:size=80x60:fb=" + missing + ":depth=16").c_str(),
                 "the platform linuxfb cannot use the frame buffer " + missing);
  // Not a frame buffer at all.
  ExpectNoWindow("linuxfb:fb=/dev/null", "the platform linuxfb cannot use the frame buffer /dev/null");
  bool card = false;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/dev/dri", ec))
    card = card || e.path().filename().string().rfind("card", 0) == 0;
  if (!card)
    ExpectNoWindow("eglfs", "the platform eglfs finds no graphics card it may use (/dev/dri/card*)");
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
  fs::permissions(root_.Path(), fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  env_ = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
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
