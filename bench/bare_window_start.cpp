// Baseline of the window-start row of the process benchmark: the window module beside this
// program loaded and run at once, as wqern runs it, without the display check before.
#include <dlfcn.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string folder = argv[0];
  folder.erase(folder.rfind('/') + 1);
  void* module = ::dlopen((folder + "wqern-windows.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module ? ::dlsym(module, "qern_window_main") : nullptr;
  if (!entry) {
    std::fprintf(stderr, "bare_window_start: %s\n", ::dlerror());
    return 4;
  }
  return reinterpret_cast<int (*)(int, char**)>(entry)(argc, argv);
}
