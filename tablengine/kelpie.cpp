// The engine's start: every unit in its order, so that the hook tables the core clears are filled.
#include "tablengine/kelpie.h"

namespace qern::kelpie {

void KelpieStart() {
  KelpieInit();
  DateStyleFromPlatform();
  ParserInit();
  IndexInit();
  MemoInit();
  VFilesInit();
}

}  // namespace qern::kelpie
