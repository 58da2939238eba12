// One byte through a pipe, so that the programs of a test take their steps in a fixed order.
#pragma once

#include <unistd.h>

namespace qern::test {

inline void Signal(int fd) {
  const char b = 1;
  (void)!::write(fd, &b, 1);
}

// False when the pipe was closed on the other side.
inline bool Await(int fd) {
  char b = 0;
  return ::read(fd, &b, 1) == 1;
}

}  // namespace qern::test
