// Fuzz target: the dBase expression compiler and evaluator over any text, with a small table open so
// that field names, aliases and record functions are reached.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tablengine/kelpie.h"
#include "tablengine/kpparser.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern::kelpie;

namespace {

std::string g_folder;

void Shutdown() { KelpieShutdown(); }

// Engine started once; the table PEOPLE (two records) in area 1 of a private temporary folder.
void StartOnce() {
  static bool started = false;
  if (started) return;
  started = true;
  KelpieInit();
  ParserInit();
  SetErrorDispatch(false);
  g_folder = qern::fuzz::Folder("kpparser");
  std::atexit(Shutdown);
  const std::string name = g_folder + "/people.dbf";
  Select(1);
  if (!CreateDbf(name, {{"NAME", 'C', 10, 0}, {"CITY", 'C', 12, 0}, {"AMOUNT", 'N', 8, 2}, {"QTY", 'N', 5, 0},
                        {"PAID", 'L', 1, 0}, {"BORN", 'D', 8, 0}, {"DATE", 'D', 8, 0}}) ||
      !UseDbf(name, "PEOPLE") || !ALock()) {
    KelpieErrorCode = 0;
    return;
  }
  for (int i = 0; i < 2; ++i) {
    ClearRecord();
    PutFieldStr(1, i ? "Bernd" : "Anna");
    PutFieldStr(2, "Berlin");
    PutFieldNum(3, 120.5 * i);
    PutFieldInt(4, 3 - i);
    PutFieldBool(5, i == 0);
    PutFieldDate(6, i ? "19800115" : "        ");
    Append();
  }
  Unlock();
  GoTop();
  KelpieErrorCode = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartOnce();
  const std::string text(reinterpret_cast<const char*>(data), size);
  KelpieErrorCode = 0;
  CompiledExpr* e = AssignExpr(text);
  if (e != nullptr) {
    const void* result = Evaluate(e);
    if (e->ResultType == 'C' || e->ResultType == 'M') (void)ExprResultText(result);
    if (RecCount() > 1) {
      SKIP(1);
      (void)EvaluateValue(e);
      GoTop();
    }
    FreeExpr(e);
  }
  KelpieErrorCode = 0;
  KelpieErrorText.clear();
  return 0;
}
