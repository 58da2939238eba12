// Entry point of wqern.
#include "framework/progvar.h"

#include <cstdio>

int main(int argc, char** argv) {
  std::printf("%s %s\n", qern::Ident.ProductName.c_str(), qern::Ident.VersionText.c_str());
  return 0;
}
