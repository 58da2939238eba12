// Loading the window module: no window library is touched before a window is to be shown.
#include "app/windowmodule.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
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

// Opens the X display as the X platform does (with the user's authority) and closes it again.
// libxcb is loaded only for this test, so that the program itself links no X library.
bool XDisplayOpens(const std::string& display) {
  void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return false;  // the X platform needs it too
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
  bool opens = false;
  if (connect && hasError && disconnect) {
    // Never a null pointer: a failed connection is an object that reports its error.
    void* c = connect(display.c_str(), nullptr);
    opens = hasError(c) == 0;
    disconnect(c);
  }
  ::dlclose(xcb);
  return opens;
}

// The X display opens within XAnswerSeconds. A server that takes the connection but never
// answers (a stopped one) would hold the window library for ever: the test runs in a child
// process that is ended when the time is up.
constexpr int XAnswerSeconds = 4;

bool XDisplayAnswers(const std::string& display) {
  const pid_t child = ::fork();
  if (child < 0) return XDisplayOpens(display);
  if (child == 0) ::_exit(XDisplayOpens(display) ? 0 : 1);
  int status = 0;
  for (int waited = 0; waited < XAnswerSeconds * 100; ++waited) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return false;
    ::usleep(10000);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return false;
}

// Connects to the Wayland compositor's socket: WAYLAND_DISPLAY as a path, or its name in
// XDG_RUNTIME_DIR.
bool WaylandDisplayAnswers(const std::string& display) {
  std::string path = display.empty() ? "wayland-0" : display;
  if (path[0] != '/') {
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    path = runtime + "/" + path;
  }
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return answers;
}

// The platforms the window library would try: QT_QPA_PLATFORM's list ("wayland;xcb", each name
// with its options after a ":"), else the displays that are set.
std::vector<std::string> PlatformsAskedFor() {
  std::vector<std::string> names;
  const std::string asked = Env("QT_QPA_PLATFORM");
  size_t from = 0;
  while (from < asked.size()) {
    size_t end = asked.find(';', from);
    if (end == std::string::npos) end = asked.size();
    const std::string item = asked.substr(from, end - from);
    const std::string name = item.substr(0, item.find(':'));
    if (!name.empty()) names.push_back(name);
    from = end + 1;
  }
  if (names.empty()) {
    if (!Env("DISPLAY").empty()) names.push_back("xcb");
    if (!Env("WAYLAND_DISPLAY").empty()) names.push_back("wayland");
  }
  return names;
}

}  // namespace

std::string DisplayProblem() {
  std::string problem;
  for (const std::string& platform : PlatformsAskedFor()) {
    std::string display;
    if (platform == "xcb") {
      display = Env("DISPLAY");
      if (!display.empty() && XDisplayAnswers(display)) return "";
    } else if (platform.rfind("wayland", 0) == 0) {
      display = Env("WAYLAND_DISPLAY");
      if (WaylandDisplayAnswers(display)) return "";
      if (display.empty()) display = "wayland-0";
    } else {
      return "";
    }
    if (problem.empty())
      problem = display.empty() ? "no display is set for " + platform
                                : "the display " + display + " cannot be opened";
  }
  return problem;
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
