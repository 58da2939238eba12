// Loading the window module: no window library is touched before a window is to be shown.
#include "app/windowmodule.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
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

// In a child process of its own: opens the X display as the X platform does (with the user's
// authority), writes 'y' or 'n' to fd and ends; ending the process closes the connection. libxcb
// is loaded only here, so that the program itself links no X library.
[[noreturn]] void AnswerWhetherXDisplayOpens(const std::string& display, int fd) {
  char answer = 'n';
  if (void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL)) {  // the X platform needs it too
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    // Never a null pointer: a failed connection is an object that reports its error.
    if (connect && hasError && hasError(connect(display.c_str(), nullptr)) == 0) answer = 'y';
  }
  [[maybe_unused]] const ssize_t n = ::write(fd, &answer, 1);
  ::_exit(0);
}

// One platform asked for, and what its test has found so far.
struct Probe {
  std::string Item;     // the entry as asked, options included ("xcb:nomitshm")
  std::string Name;     // the platform's name ("xcb")
  std::string Display;  // the display named in the message
  enum class State { Waiting, Usable, Unusable } Outcome = State::Waiting;
  std::string Problem;    // why it cannot be used
  int Fd = -1;            // the answer comes here: an X or Wayland socket, the X test's pipe
  bool XSetup = false;    // Fd is the X connection set up here
  pid_t Child = -1;       // the process that opens the X display with the X library
  std::string Received;   // Wayland: the bytes the compositor sent so far

  void Fail(const std::string& why) {
    Outcome = State::Unusable;
    Problem = why;
  }
};

// The platform plugin's file in Qt's plugin folders (those Qt searches: QT_QPA_PLATFORM_PLUGIN_PATH,
// QT_PLUGIN_PATH, its own and the program's folder). Qt aborts on a platform without one.
bool PlatformPluginInstalled(const std::string& name) {
  std::string file = "libq" + name + ".so";
  if (name == "wayland") file = "libqwayland-generic.so";
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
    if (::stat((folder + "/" + file).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
  return false;
}

// The X library's test, for a display of another machine and after a refusal of the set-up below,
// runs in a child process: a server that takes the connection but never answers (a stopped one)
// would hold it for ever. The answer comes through a pipe as soon as it is known.
void StartXProbe(Probe& p) {
  p.Display = Env("DISPLAY");
  if (p.Display.empty()) return p.Fail("no display is set for " + p.Name);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return p.Fail("the display " + p.Display + " cannot be opened");
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    AnswerWhetherXDisplayOpens(p.Display, fds[1]);
  }
  ::close(fds[1]);
  if (child < 0) {
    ::close(fds[0]);
    return p.Fail("the display " + p.Display + " cannot be opened");
  }
  p.Child = child;
  p.Fd = fds[0];
}

// A display on this machine (":0", "unix:0", either with ".screen"): its number, else -1.
int LocalDisplayNumber(const std::string& display) {
  std::string rest = display.rfind("unix:", 0) == 0 ? display.substr(4) : display;
  if (rest.empty() || rest[0] != ':') return -1;
  rest = rest.substr(1, rest.find('.') == std::string::npos ? std::string::npos : rest.find('.') - 1);
  if (rest.empty() || rest.size() > 6 ||
      rest.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  return std::stoi(rest);
}

// The user's cookie for display number n of this machine from the authority file (XAUTHORITY,
// else ~/.Xauthority): the first MIT-MAGIC-COOKIE-1 entry of this host or of any, for this
// display or any. Entries: a family, then address, number, name and data, each with its length
// (16 bits, high byte first). "" when there is none.
std::string XCookie(int number) {
  std::string file = Env("XAUTHORITY");
  if (file.empty() && !Env("HOME").empty()) file = Env("HOME") + "/.Xauthority";
  std::ifstream in(file, std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  size_t at = 0;
  auto number16 = [&] {
    const unsigned n = static_cast<unsigned char>(all[at]) << 8 | static_cast<unsigned char>(all[at + 1]);
    at += 2;
    return n;
  };
  auto field = [&](std::string& out) {
    if (at + 2 > all.size()) return false;
    const unsigned n = number16();
    if (at + n > all.size()) return false;
    out = all.substr(at, n);
    at += n;
    return true;
  };
  constexpr unsigned FamilyLocal = 256, FamilyWild = 65535;
  while (at + 2 <= all.size()) {
    const unsigned family = number16();
    std::string address, display, name, data;
    if (!field(address) || !field(display) || !field(name) || !field(data)) break;
    const bool here = family == FamilyWild || (family == FamilyLocal && address == host);
    if (here && (display.empty() || display == std::to_string(number)) &&
        name == "MIT-MAGIC-COOKIE-1")
      return data;
  }
  return "";
}

// A display of this machine is asked here, without a process of its own: the X connection set-up
// (with the user's cookie) sent on its socket, the server's first byte awaited. A refusal is not
// taken as final: the X library in a child process, which knows every way to authenticate, decides.
void StartXSetup(Probe& p, int number) {
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
  int fd = -1;
  for (const bool abstract : {true, false}) {  // the abstract name first, as the X library does
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) break;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + (abstract ? 1 : 0), path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() +
                                               (abstract ? 1 : 0));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), length) == 0) break;
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) return p.Fail("the display " + p.Display + " cannot be opened");
  // Byte order 'l', protocol 11.0, the lengths of the authorisation's name and data, then both
  // padded to four bytes.
  const std::string name = "MIT-MAGIC-COOKIE-1", cookie = XCookie(number);
  const std::string& usedName = cookie.empty() ? std::string() : name;
  auto padded = [](std::string s) { return s.append((4 - s.size() % 4) % 4, '\0'); };
  std::string request = {'l', 0, 11, 0, 0, 0};
  for (const size_t n : {usedName.size(), cookie.size()}) {
    request += static_cast<char>(n & 0xff);
    request += static_cast<char>(n >> 8);
  }
  request.append(2, '\0');
  request += padded(usedName) + padded(cookie);
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    ::close(fd);
    return p.Fail("the display " + p.Display + " cannot be opened");
  }
  p.Fd = fd;
  p.XSetup = true;
}

// The server's first byte: 1 it accepts the connection; 0 or 2 it refuses or asks for more.
void FinishXSetup(Probe& p) {
  char first = 0;
  const ssize_t n = ::recv(p.Fd, &first, 1, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  ::close(p.Fd);
  p.Fd = -1;
  p.XSetup = false;
  if (n == 1 && first == 1)
    p.Outcome = Probe::State::Usable;
  else
    StartXProbe(p);
}

void FinishXProbe(Probe& p) {
  char answer = 0;
  const bool usable = ::read(p.Fd, &answer, 1) == 1 && answer == 'y';
  ::waitpid(p.Child, nullptr, 0);  // it ends right after its answer
  p.Child = -1;
  if (usable)
    p.Outcome = Probe::State::Usable;
  else
    p.Fail("the display " + p.Display + " cannot be opened");
}

// Wayland: the display's socket is WAYLAND_DISPLAY as a path, or its name in XDG_RUNTIME_DIR.
// The compositor must answer a round trip: wl_display.sync (object 1, request 0) with a new
// callback (object 2), answered by the callback's event done.
constexpr uint32_t WlDisplayId = 1, WlCallbackId = 2;

void StartWaylandProbe(Probe& p) {
  p.Display = Env("WAYLAND_DISPLAY");
  if (p.Display.empty()) p.Display = "wayland-0";
  const std::string cannot = "the display " + p.Display + " cannot be opened";
  std::string path = p.Display;
  if (path[0] != '/') {
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return p.Fail(cannot + " (XDG_RUNTIME_DIR is not set)");
    path = runtime + "/" + path;
  }
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return p.Fail(cannot);
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size());
  // Without blocking: a compositor whose queue of connections is full refuses at once.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return p.Fail(cannot);
  const uint32_t sync[3] = {WlDisplayId, (12u << 16) | 0u, WlCallbackId};
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::send(fd, sync, sizeof sync, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof sync)) {
    ::close(fd);
    return p.Fail(cannot);
  }
  p.Fd = fd;
}

// Reads what the compositor sent; done when the callback's event arrived, or an error or the end.
void ReadWaylandAnswer(Probe& p) {
  char buffer[4096];
  const ssize_t n = ::recv(p.Fd, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) return p.Fail("the display " + p.Display + " closed the connection");
  p.Received.append(buffer, static_cast<size_t>(n));
  // Messages: object id, then size (upper 16 bits, header included) and opcode, in the
  // machine's byte order.
  while (p.Received.size() >= 8) {
    uint32_t head[2];
    std::memcpy(head, p.Received.data(), sizeof head);
    const uint32_t size = head[1] >> 16, opcode = head[1] & 0xffffu;
    if (size < 8 || size % 4 != 0)
      return p.Fail("the display " + p.Display + " does not speak the Wayland protocol");
    if (p.Received.size() < size) return;
    if (head[0] == WlCallbackId && opcode == 0) {
      p.Outcome = Probe::State::Usable;
      return;
    }
    if (head[0] == WlDisplayId && opcode == 0)
      return p.Fail("the display " + p.Display + " refused the connection");
    p.Received.erase(0, size);
  }
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

// eglfs draws on a graphics card (/dev/dri/card*) through its kernel mode setting.
std::string GraphicsCardProblem() {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev/dri", ec)) {
    if (e.path().filename().string().rfind("card", 0) != 0) continue;
    const int fd = ::open(e.path().c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      ::close(fd);
      return "";
    }
  }
  return "the platform eglfs finds no graphics card it may use (/dev/dri/card*)";
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

// Starts the test of one platform: a platform without its plugin, or whose device is missing, is
// decided at once; a display is asked and its answer awaited.
void StartProbe(Probe& p) {
  if (!PlatformPluginInstalled(p.Name))
    return p.Fail("the Qt platform plugin " + p.Name + " is not installed");
  if (p.Name == "xcb") {
    p.Display = Env("DISPLAY");
    if (p.Display.empty()) return p.Fail("no display is set for " + p.Name);
    const int number = LocalDisplayNumber(p.Display);
    return number >= 0 ? StartXSetup(p, number) : StartXProbe(p);
  }
  if (p.Name == "wayland" || p.Name.rfind("wayland-", 0) == 0) return StartWaylandProbe(p);
  std::string problem;
  if (p.Name == "linuxfb") problem = FrameBufferProblem(p.Item);
  if (p.Name == "eglfs") problem = GraphicsCardProblem();
  if (problem.empty())
    p.Outcome = Probe::State::Usable;  // a platform of its own (VNC, offscreen): nothing to ask
  else
    p.Fail(problem);
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

}  // namespace

std::string DisplayProblem() {
#ifdef QERN_WITHOUT_DISPLAY_CHECK  // the baseline program of the process benchmark
  return "";
#endif
  std::vector<Probe> probes = PlatformsAskedFor();
  if (probes.empty()) return "";
  for (Probe& p : probes) StartProbe(p);
  // Waits on the answers themselves, until the first platform in the order is decided usable
  // or all are unusable, or the time is up.
  const auto deadline = std::chrono::steady_clock::now() + AnswerTime;
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
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    std::vector<pollfd> fds;
    std::vector<Probe*> waiting;
    for (Probe& p : probes)
      if (p.Outcome == Probe::State::Waiting) {
        fds.push_back(pollfd{p.Fd, POLLIN, 0});
        waiting.push_back(&p);
      }
    if (::poll(fds.data(), fds.size(), static_cast<int>(left.count()) + 1) < 0 && errno != EINTR)
      break;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      Probe& p = *waiting[i];
      if (p.XSetup)
        FinishXSetup(p);
      else if (p.Child > 0)
        FinishXProbe(p);
      else
        ReadWaylandAnswer(p);
    }
  }
  // Those still silent count as unusable; the first usable in the order is taken.
  std::string problem;
  for (Probe& p : probes) {
    if (p.Outcome == Probe::State::Waiting)
      p.Fail(p.Child > 0 || p.XSetup ? "the display " + p.Display + " cannot be opened"
                         : "the display " + p.Display + " does not answer");
    StopProbe(p);
    if (!chosen && p.Outcome == Probe::State::Usable) chosen = &p;
    if (problem.empty() && p.Outcome == Probe::State::Unusable) problem = p.Problem;
  }
  if (!chosen) return problem.empty() ? "no platform can be used" : problem;
  // The window library opens on the platform that answered, not on one it would try first.
  ::setenv("QT_QPA_PLATFORM", chosen->Item.c_str(), 1);
  return "";
}

int RunWindowModule(int argc, char** argv) {
  const std::string file = ExtractFolder(ProgramFilePath()) + WindowModuleFile;
  // Local binding: the module keeps its own program state apart from the program's copy.
  void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module ? ::dlsym(module, WindowModuleEntry) : nullptr;
  if (!entry) {
    const char* why = ::dlerror();
    std::cerr << "wqern: the windows cannot be shown (" << (why ? why : file) << ")" << std::endl;
    return ExitNoDisplay;
  }
  return reinterpret_cast<WindowModuleMain>(entry)(argc, argv);
}

}  // namespace qern
