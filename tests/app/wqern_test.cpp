// Runs the built wqern as a user would from a shell without a screen: in a fresh folder, stdin
// closed, no DISPLAY, and checks exit status, files written and messages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int Status = -1;  // exit status, -1 when killed or not run
  std::string Out, Err;
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

class WqernRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wqern-app-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    dir_ = root_ / "work";
    tmp_ = root_ / "tmp";
    home_ = root_ / "home";
    fs::create_directories(dir_);
    fs::create_directories(tmp_);
    fs::create_directories(home_);
  }
  void TearDown() override { fs::remove_all(root_); }

  // Starts wqern in the work folder; a run that takes longer than 20 s is killed.
  RunResult Run(const std::vector<std::string>& args, const char* qtPlatform = nullptr) {
    return RunIn(dir_, args, qtPlatform);
  }
  RunResult RunIn(const fs::path& cwd, const std::vector<std::string>& args,
                  const char* qtPlatform = nullptr, const std::string& tag = "") {
    const fs::path out = root_ / ("out" + tag), err = root_ / ("err" + tag);
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(cwd.c_str()) != 0) _exit(120);
      close(0);
      int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fo, 1);
      dup2(fe, 2);
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      if (qtPlatform)
        setenv("QT_QPA_PLATFORM", qtPlatform, 1);
      else
        unsetenv("QT_QPA_PLATFORM");
      setenv("HOME", home_.c_str(), 1);
      setenv("TMPDIR", tmp_.c_str(), 1);
      std::vector<char*> argv;
      std::string exe = QERN_WQERN;
      argv.push_back(exe.data());
      std::vector<std::string> copy = args;
      for (auto& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    RunResult r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "wqern did not end";
        return r;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) r.Status = WEXITSTATUS(status);
    r.Out = ReadAll(out);
    r.Err = ReadAll(err);
    return r;
  }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }
  bool TmpEmpty() const { return fs::is_empty(tmp_); }
  void CopyDesign(const std::string& name) {
    fs::copy_file(fs::path(QERN_SOURCE_DATA) / "null.qrk", dir_ / name);
  }
  // The default design with its number of teeth (third value after the head) set to 0.
  void WriteFatalDesign(const std::string& name) {
    std::istringstream in(ReadAll(fs::path(QERN_SOURCE_DATA) / "null.qrk"));
    std::string line, text;
    for (int n = 1; std::getline(in, line); ++n) text += (n == 11 ? std::string("0\r") : line) + "\n";
    WriteFile(dir_ / name, text);
  }

  fs::path root_, dir_, tmp_, home_;
};

TEST_F(WqernRun, ListingModeWritesTheListingNamedAfterTheDesign) {
  CopyDesign("ex.qrk");
  for (const char* platform : {static_cast<const char*>(nullptr), "offscreen"}) {
    fs::remove(dir_ / "ex.txt");
    RunResult r = Run({"ex.qrk", "/I"}, platform);
    EXPECT_EQ(r.Status, 0) << r.Err;
    const std::string listing = ReadAll(dir_ / "ex.txt");
    EXPECT_NE(listing.find("QERN   Kerbverzahnung"), std::string::npos);
    EXPECT_NE(listing.find("Teilkreisdurchmesser"), std::string::npos);
    EXPECT_EQ(Names(), (std::set<std::string>{"ex.qrk", "ex.txt"}));
    EXPECT_TRUE(TmpEmpty()) << "working files left behind";
  }
  // The other spellings, a folder in the name and /NOGUI.
  fs::create_directories(dir_ / "sub");
  CopyDesign("sub/t.qrk");
  for (const char* sw : {"/i", "-I", "-i"}) {
    fs::remove(dir_ / "t.txt");
    RunResult r = Run({"sub/t.qrk", sw, "/NOGUI"});
    EXPECT_EQ(r.Status, 0) << sw << r.Err;
    EXPECT_TRUE(fs::exists(dir_ / "t.txt")) << sw;
    EXPECT_FALSE(fs::exists(dir_ / "sub" / "t.txt"));
  }
  // Without an extension the reader adds it.
  fs::remove(dir_ / "ex.txt");
  EXPECT_EQ(Run({"ex", "/I"}).Status, 0);
  EXPECT_TRUE(fs::exists(dir_ / "ex.txt"));
}

TEST_F(WqernRun, UnreadableDesignEndsWithOneAndWritesNothing) {
  RunResult r = Run({"missing.qrk", "/I"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_FALSE(r.Err.empty());
  EXPECT_TRUE(Names().empty());
  // A truncated file is no design either.
  const std::string full = ReadAll(fs::path(QERN_SOURCE_DATA) / "null.qrk");
  WriteFile(dir_ / "cut.qrk", full.substr(0, full.size() / 3));
  EXPECT_EQ(Run({"cut.qrk", "/I"}).Status, 1);
  EXPECT_EQ(Names(), std::set<std::string>{"cut.qrk"});
  EXPECT_EQ(Run({"missing.qrk", "/CAD1:1"}).Status, 1);
  EXPECT_TRUE(TmpEmpty());
}

TEST_F(WqernRun, FatalDesignEndsWithTwoAndWritesNothing) {
  WriteFatalDesign("bad.qrk");
  RunResult r = Run({"bad.qrk", "/I"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("Fatal  : z = 0 !"), std::string::npos) << r.Err;
  EXPECT_EQ(Names(), std::set<std::string>{"bad.qrk"});
}

TEST_F(WqernRun, OutputIsNeverTheInputAndWriteFailuresEndWithTwo) {
  // A design kept as ex.txt would be replaced by its own listing.
  CopyDesign("ex.txt");
  const std::string before = ReadAll(dir_ / "ex.txt");
  EXPECT_EQ(Run({"ex.txt", "/I"}).Status, 2);
  EXPECT_EQ(ReadAll(dir_ / "ex.txt"), before);
  // The listing's name is taken by a folder: nothing can be written.
  CopyDesign("ex.qrk");
  fs::remove(dir_ / "ex.txt");
  fs::create_directories(dir_ / "ex.txt");
  RunResult r = Run({"ex.qrk", "/I"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_TRUE(fs::is_directory(dir_ / "ex.txt"));
  EXPECT_TRUE(TmpEmpty());
}

TEST_F(WqernRun, BatchRunsDoNotTouchTheSessionFileAndDoNotCollide) {
  WriteFile(dir_ / "qern.cff", "x Session qern\r\n/a/b.qrk\r\n\r\n\r\n\r\n");
  const std::string session = ReadAll(dir_ / "qern.cff");
  std::vector<std::string> names;
  for (int i = 0; i < 6; ++i) {
    names.push_back("d" + std::to_string(i));
    CopyDesign(names.back() + ".qrk");
  }
  std::vector<RunResult> results(names.size());
  std::vector<std::thread> runs;
  for (size_t i = 0; i < names.size(); ++i)
    runs.emplace_back([&, i] {
      results[i] = RunIn(dir_, {names[i] + ".qrk", "/I"}, nullptr, std::to_string(i));
    });
  for (auto& t : runs) t.join();
  const std::string first = ReadAll(dir_ / "d0.txt");
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(results[i].Status, 0) << results[i].Err;
    // Same design: the same listing apart from the file name in its head.
    std::string text = ReadAll(dir_ / (names[i] + ".txt"));
    EXPECT_EQ(text.size(), first.size()) << names[i];
  }
  EXPECT_EQ(ReadAll(dir_ / "qern.cff"), session);
  EXPECT_FALSE(fs::exists(dir_ / "qern.cfg"));
  EXPECT_TRUE(TmpEmpty());
}

TEST_F(WqernRun, MissingExtensionUsageAndDrawingIndexWithoutDrawing) {
  RunResult r = Run({"x"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Err.find("Erweiterung .qrk muß mit angegeben werden"), std::string::npos) << r.Err;
  r = Run({"x"}, "offscreen");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Err.find("Erweiterung .qrk muß mit angegeben werden"), std::string::npos) << r.Err;

  for (const char* q : {"/?", "?"}) {
    r = Run({q, "whatever.qrk", "/I"});
    EXPECT_EQ(r.Status, 0);
    const std::string text = r.Out + r.Err;
    for (const char* line : {"QERN Command Line Mode", "wqern Filename [/I] [/CADi:j] [/NOGUI]",
                             "/I       -> TXT file", "            i: 1=DXF, 2=IGS, 5=TXT",
                             "Example: wqern test.qrk /CAD1:1     ->  test.dxf",
                             "Example: wqern test.edi /E /NOGUI   ->  test.edi"})
      EXPECT_NE(text.find(line), std::string::npos) << line;
  }

  // Indexes without a drawing: nothing written, status 0.
  CopyDesign("ex.qrk");
  for (const char* sw : {"/CAD1:8", "/CAD1:0", "/CAD", "-cad1:99"}) {
    r = Run({"ex.qrk", sw});
    EXPECT_EQ(r.Status, 0) << sw << r.Err;
  }
  EXPECT_EQ(Names(), std::set<std::string>{"ex.qrk"});
  // A window start without a screen ends at once with its own status, touching nothing.
  r = Run({"ex.qrk"});
  EXPECT_EQ(r.Status, 4);
  EXPECT_EQ(Names(), std::set<std::string>{"ex.qrk"});
  EXPECT_TRUE(TmpEmpty());
}

}  // namespace
