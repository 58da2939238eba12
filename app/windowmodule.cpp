// Loading the window module: no window library is touched before a window is to be shown.
#include "app/windowmodule.h"

#include <dlfcn.h>

#include <iostream>

#include "app/qernstart.h"
#include "framework/textfile.h"
#include "platform/machine.h"

namespace qern {

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
