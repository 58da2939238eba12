// Loading the window module: no window library is touched before a window is to be shown.
#include "app/windowmodule.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
// The client libraries' own declarations; the libraries themselves are loaded only in the
// process that asks the display.
#include <wayland-client-core.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/qernstart.h"
#include "framework/textfile.h"
#include "platform/machine.h"

namespace qern {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Every display asked for must answer within this time, counted from the start of the test; the
// displays are asked side by side, so a silent one costs it once, not once per display.
constexpr auto AnswerTime = std::chrono::seconds(4);

// The platforms whose use the program can check before the window library opens on them, with
// their Qt plugin files. The windows open on no other: a platform not asked here could end the
// program with an abort (minimalegl without its graphics) or run it for ever without a window
// (vkkhrdisplay), and eglfs needs graphics and input devices that cannot be tried beforehand.
struct CheckedPlatform {
  const char* Name;
  const char* Plugin;
};
constexpr CheckedPlatform CheckedPlatforms[] = {{"xcb", "libqxcb.so"},
                                                {"wayland", "libqwayland-generic.so"},
                                                {"wayland-egl", "libqwayland-egl.so"},
                                                {"linuxfb", "libqlinuxfb.so"}};

const CheckedPlatform* FindCheckedPlatform(const std::string& name) {
  for (const CheckedPlatform& p : CheckedPlatforms)
    if (name == p.Name) return &p;
  return nullptr;
}

// What the process that asks a display tells, one byte each: Connected (Wayland, before its
// round trip), then one of the others as its last word.
constexpr char AnswerConnected = 'c', AnswerUsable = 'y', AnswerNoScreen = 's',
               AnswerClosed = 'e', AnswerCannotOpen = 'n';

void Tell(int fd, char answer) { [[maybe_unused]] const ssize_t n = ::write(fd, &answer, 1); }

// Loaded by its stable name; null when the library or the function is missing.
template <typename Function>
Function* Load(void* library, const char* name) {
  return library ? reinterpret_cast<Function*>(::dlsym(library, name)) : nullptr;
}

// Opens the X display as the X platform does: the X library reads DISPLAY and the authority
// files, authenticates and checks the screen number against the server's screens.
[[noreturn]] void AskXDisplay(int fd) {
  void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  auto* connect = Load<decltype(::xcb_connect)>(xcb, "xcb_connect");
  auto* error = Load<decltype(::xcb_connection_has_error)>(xcb, "xcb_connection_has_error");
  char answer = AnswerCannotOpen;
  if (connect && error) {
    int screen = 0;
    // Never a null pointer: a failed connection is an object that reports its error.
    switch (error(connect(nullptr, &screen))) {
      case 0: answer = AnswerUsable; break;
      case XCB_CONN_CLOSED_INVALID_SCREEN: answer = AnswerNoScreen; break;
      default: break;
    }
  }
  Tell(fd, answer);
  ::_exit(0);
}

// Connects to the Wayland display as the Wayland platform does (WAYLAND_DISPLAY in
// XDG_RUNTIME_DIR, or a path) and makes one round trip: the compositor must answer.
[[noreturn]] void AskWaylandDisplay(int fd) {
  void* wayland = ::dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL);
  auto* connect = Load<decltype(::wl_display_connect)>(wayland, "wl_display_connect");
  auto* roundTrip = Load<decltype(::wl_display_roundtrip)>(wayland, "wl_display_roundtrip");
  char answer = AnswerCannotOpen;
  if (connect && roundTrip)
    if (wl_display* display = connect(nullptr)) {
      Tell(fd, AnswerConnected);
      answer = roundTrip(display) >= 0 ? AnswerUsable : AnswerClosed;
    }
  Tell(fd, answer);
  ::_exit(0);
}

// One platform asked for, and what its test has found so far.
struct Probe {
  std::string Item;     // the entry as asked, options included ("xcb:nomitshm")
  std::string Name;     // the platform's name ("xcb")
  std::string Display;  // the display named in the message
  enum class State { Waiting, Usable, Unusable } Outcome = State::Waiting;
  std::string Problem;     // why it cannot be used
  int Fd = -1;             // the answers of the process that asks the display
  pid_t Child = -1;        // that process
  bool Connected = false;  // Wayland: the compositor took the connection

  void Fail(const std::string& why) {
    Outcome = State::Unusable;
    Problem = why;
  }
  std::string CannotOpen() const { return "the display " + Display + " cannot be opened"; }
};

// The display is asked in a process of its own: a server that takes the connection and never
// answers, an authority file that never ends (a device, a pipe without a writer) hold that
// process, which is killed when it is late. It dies with the program too (a signal, a kill).
void StartAsking(Probe& p, void (*ask)(int fd)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return p.Fail(p.CannotOpen());
  const pid_t program = ::getpid();
  const pid_t child = ::fork();
  if (child == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != program) ::_exit(0);  // the program ended before that took hold
    ::close(fds[0]);
    // The client libraries' own complaints stay out of the program's messages, and a reader of
    // the program's output never waits for this process.
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    for (const int fd : {0, 1, 2}) ::dup2(null, fd);
    ask(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  if (child < 0) {
    ::close(fds[0]);
    return p.Fail(p.CannotOpen());
  }
  p.Child = child;
  p.Fd = fds[0];
}

// Takes what the asking process told; its last word (or its end without one) decides.
void ReadAnswer(Probe& p) {
  char answers[8];
  const ssize_t n = ::read(p.Fd, answers, sizeof answers);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  const char last = n <= 0 ? AnswerCannotOpen : answers[n - 1];
  for (ssize_t i = 0; i < n; ++i) p.Connected = p.Connected || answers[i] == AnswerConnected;
  switch (last) {
    case AnswerConnected: return;  // the round trip goes on
    case AnswerUsable: p.Outcome = Probe::State::Usable; return;
    case AnswerNoScreen: return p.Fail(p.CannotOpen() + " (its server has no such screen)");
    case AnswerClosed: return p.Fail("the display " + p.Display + " closed the connection");
    default: return p.Fail(p.CannotOpen());
  }
}

// The platform plugin's file in Qt's plugin folders (those Qt searches: QT_QPA_PLATFORM_PLUGIN_PATH,
// QT_PLUGIN_PATH, its own and the program's folder). Qt aborts on a platform without one.
bool PlatformPluginInstalled(const CheckedPlatform& platform) {
  std::vector<std::string> folders;
  if (const std::string qpa = Env("QT_QPA_PLATFORM_PLUGIN_PATH"); !qpa.empty())
    folders.push_back(qpa);
  const std::string paths = Env("QT_PLUGIN_PATH");
  for (size_t from = 0; from < paths.size();) {
    size_t end = paths.find(':', from);
    if (end == std::string::npos) end = paths.size();
    if (end > from) folders.push_back(paths.substr(from, end - from) + "/platforms");
    from = end + 1;
  }
  folders.push_back(std::string(QERN_QT_PLUGIN_DIR) + "/platforms");
  folders.push_back(ExtractFolder(ProgramFilePath()) + "platforms");
  struct stat st {};
  for (const std::string& folder : folders)
    if (::stat((folder + "/" + platform.Plugin).c_str(), &st) == 0 && S_ISREG(st.st_mode))
      return true;
  return false;
}

// The platforms the windows can open on here, for the message that refuses another:
// "xcb, wayland or linuxfb".
std::string UsablePlatformNames() {
  std::vector<std::string> names;
  for (const CheckedPlatform& p : CheckedPlatforms)
    if (PlatformPluginInstalled(p)) names.push_back(p.Name);
  if (names.empty()) return "none of them is installed";
  std::string text = names[0];
  for (size_t i = 1; i < names.size(); ++i) text += (i + 1 < names.size() ? ", " : " or ") + names[i];
  return text;
}

// The frame buffer device of linuxfb: the option fb=, else /dev/fb0, opened for writing and
// telling its mode.
std::string FrameBufferProblem(const std::string& item) {
  std::string device = "/dev/fb0";
  for (size_t at = item.find(':'); at != std::string::npos; at = item.find(':', at + 1))
    if (item.compare(at + 1, 3, "fb=") == 0)
      device = item.substr(at + 4, item.find(':', at + 1) - at - 4);
  const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
  fb_var_screeninfo info{};
  const bool usable = fd >= 0 && ::ioctl(fd, FBIOGET_VSCREENINFO, &info) == 0;
  if (fd >= 0) ::close(fd);
  return usable ? "" : "the platform linuxfb cannot use the frame buffer " + device;
}

// The platforms the windows may open on, in the order they are tried: QT_QPA_PLATFORM's list
// ("wayland;xcb", each name with its options after a ":"), else the displays that are set (Wayland
// first in a Wayland session).
std::vector<Probe> PlatformsAskedFor() {
  std::vector<Probe> probes;
  const std::string asked = Env("QT_QPA_PLATFORM");
  size_t from = 0;
  while (from < asked.size()) {
    size_t end = asked.find(';', from);
    if (end == std::string::npos) end = asked.size();
    Probe p;
    p.Item = asked.substr(from, end - from);
    p.Name = p.Item.substr(0, p.Item.find(':'));
    if (!p.Name.empty()) probes.push_back(p);
    from = end + 1;
  }
  if (probes.empty()) {
    const bool x = !Env("DISPLAY").empty(), wayland = !Env("WAYLAND_DISPLAY").empty();
    const bool waylandFirst = Env("XDG_SESSION_TYPE") == "wayland";
    for (const char* name : waylandFirst ? std::vector{"wayland", "xcb"}
                                         : std::vector{"xcb", "wayland"})
      if (std::string(name) == "xcb" ? x : wayland) {
        Probe p;
        p.Item = p.Name = name;
        probes.push_back(p);
      }
  }
  return probes;
}

// Starts the test of one platform: one that cannot be checked, or without its plugin or device,
// is decided at once; a display is asked and its answer awaited.
void StartProbe(Probe& p) {
  const CheckedPlatform* platform = FindCheckedPlatform(p.Name);
  if (!platform)
    return p.Fail("the platform " + p.Name + " is not supported; the windows open on " +
                  UsablePlatformNames());
  if (!PlatformPluginInstalled(*platform))
    return p.Fail("the Qt platform plugin " + p.Name + " is not installed");
  if (p.Name == "linuxfb") {
    const std::string problem = FrameBufferProblem(p.Item);
    if (problem.empty())
      p.Outcome = Probe::State::Usable;
    else
      p.Fail(problem);
    return;
  }
  if (p.Name == "xcb") {
    p.Display = Env("DISPLAY");
    if (p.Display.empty()) return p.Fail("no display is set for " + p.Name);
    return StartAsking(p, AskXDisplay);
  }
  p.Display = Env("WAYLAND_DISPLAY");
  if (p.Display.empty()) p.Display = "wayland-0";
  if (p.Display[0] != '/' && Env("XDG_RUNTIME_DIR").empty())
    return p.Fail(p.CannotOpen() + " (XDG_RUNTIME_DIR is not set)");
  StartAsking(p, AskWaylandDisplay);
}

void StopProbe(Probe& p) {
  if (p.Child > 0) {
    ::kill(p.Child, SIGKILL);
    ::waitpid(p.Child, nullptr, 0);
  }
  if (p.Fd >= 0) ::close(p.Fd);
  p.Child = -1;
  p.Fd = -1;
}

// The platforms asked for, their displays being asked.
std::vector<Probe> Asked;
bool Started = false;
std::chrono::steady_clock::time_point Deadline;

}  // namespace

void StartDisplayCheck() {
#ifdef QERN_WITHOUT_DISPLAY_CHECK  // the baseline program of the process benchmark
  return;
#endif
  if (Started) return;
  Started = true;
  Deadline = std::chrono::steady_clock::now() + AnswerTime;
  Asked = PlatformsAskedFor();
  for (Probe& p : Asked) StartProbe(p);
}

std::string DisplayProblem() {
#ifdef QERN_WITHOUT_DISPLAY_CHECK
  return "";
#endif
  StartDisplayCheck();
  std::vector<Probe> probes = std::move(Asked);
  if (probes.empty()) return "";
  // Waits on the answers themselves, until the first platform in the order is decided usable
  // or all are unusable, or the time is up.
  const Probe* chosen = nullptr;
  for (;;) {
    bool undecided = false;
    for (const Probe& p : probes) {
      if (p.Outcome == Probe::State::Usable) {
        chosen = &p;
        break;
      }
      if (p.Outcome == Probe::State::Waiting) {
        undecided = true;
        break;
      }
    }
    if (chosen || !undecided) break;
    // Answers that came while the window module loaded are taken even when the time is up.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        Deadline - std::chrono::steady_clock::now());
    const int wait = left.count() > 0 ? static_cast<int>(left.count()) + 1 : 0;
    std::vector<pollfd> fds;
    std::vector<Probe*> waiting;
    for (Probe& p : probes)
      if (p.Outcome == Probe::State::Waiting) {
        fds.push_back(pollfd{p.Fd, POLLIN, 0});
        waiting.push_back(&p);
      }
    const int ready = ::poll(fds.data(), fds.size(), wait);
    if ((ready < 0 && errno != EINTR) || (ready == 0 && wait == 0)) break;
    for (size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents != 0) ReadAnswer(*waiting[i]);
  }
  // Those still silent count as unusable; the first usable in the order is taken.
  std::string problem;
  for (Probe& p : probes) {
    if (p.Outcome == Probe::State::Waiting)
      p.Fail(p.Connected ? "the display " + p.Display + " does not answer" : p.CannotOpen());
    StopProbe(p);
    if (!chosen && p.Outcome == Probe::State::Usable) chosen = &p;
    if (problem.empty() && p.Outcome == Probe::State::Unusable) problem = p.Problem;
  }
  if (!chosen) return problem.empty() ? "no platform can be used" : problem;
  // The window library opens on the platform that answered, not on one it would try first.
  ::setenv("QT_QPA_PLATFORM", chosen->Item.c_str(), 1);
  return "";
}

namespace {
std::string ModuleProblem;  // why the module could not be loaded
}  // namespace

void* LoadWindowModule() {
  const std::string file = ExtractFolder(ProgramFilePath()) + WindowModuleFile;
  // Local binding: the module keeps its own program state apart from the program's copy.
  void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  const char* why = module ? nullptr : ::dlerror();
  ModuleProblem = why ? why : file;
  return module;
}

int RunWindowModule(void* module, int argc, char** argv) {
  void* entry = module ? ::dlsym(module, WindowModuleEntry) : nullptr;
  if (!entry) {
    const char* why = module ? ::dlerror() : nullptr;
    std::cerr << "wqern: the windows cannot be shown (" << (why ? why : ModuleProblem) << ")"
              << std::endl;
    return ExitNoDisplay;
  }
  return reinterpret_cast<WindowModuleMain>(entry)(argc, argv);
}

}  // namespace qern
