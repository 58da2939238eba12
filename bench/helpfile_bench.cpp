// Large help files: a lookup in a 50 MB message-help file (qern.err) and in a 50 MB help file, both
// of empty lines and without the wanted entry (so the whole file is read), and an edit saved into
// the last record of a 50 MB message-help file. Goal: well under 1 s each (before: the message-help
// lookup 6.9 s with 2.1 GB of memory, the help file 1 s).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/uhelperr.h"
#include "platform/scripteddialogs.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t FileBytes = size_t{50} << 20;

// A folder with qern.err and qern.hlp of FileBytes empty lines each; removed at exit. The message
// file ends with one record, the one the save benchmark edits.
const std::string& HelpFolder() {
  static std::string folder;
  if (!folder.empty()) return folder;
  char tmpl[] = "/tmp/qern-bench-XXXXXX";
  folder = mkdtemp(tmpl);
  std::atexit([] { fs::remove_all(folder); });
  const std::string empty(FileBytes, '\n');
  for (const char* name : {"qern.err", "qern.hlp"}) {
    std::FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
    std::fwrite(empty.data(), 1, empty.size(), f);
    if (std::string(name) == "qern.err") std::fputs("Letzte Meldung !\nUrsache\nAbhilfe\n", f);
    std::fclose(f);
  }
  return folder;
}

void Prepare() {
  qern::InitProgramState();
  qern::Ident.ProgramName = "qern";
  qern::Settings.PltFolder = HelpFolder();
  qern::Settings.TempFolder = HelpFolder();
}

void BM_MessageHelpLookup50MB(benchmark::State& state) {
  Prepare();
  std::string cause, remedy;
  for (auto _ : state) {
    if (qern::FindErrorHelp("Keine solche Meldung", cause, remedy)) state.SkipWithError("found");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FileBytes));
}
BENCHMARK(BM_MessageHelpLookup50MB)->Unit(benchmark::kMillisecond);

void BM_HelpEntryLookup50MB(benchmark::State& state) {
  Prepare();
  qern::HelpLines lines;
  std::string picture;
  for (auto _ : state) {
    if (qern::ReadHelpEntry(4711, lines, picture)) state.SkipWithError("found");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FileBytes));
}
BENCHMARK(BM_HelpEntryLookup50MB)->Unit(benchmark::kMillisecond);

void BM_MessageHelpSave50MB(benchmark::State& state) {
  Prepare();
  qern::ScopedScriptedDialogs dialogs;
  for (auto _ : state) {
    qern::SaveErrorHelp("Letzte Meldung !", "Ursache", "Abhilfe");
    if (qern::Flags.AbortFlag) state.SkipWithError("not saved");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FileBytes));
}
BENCHMARK(BM_MessageHelpSave50MB)->Unit(benchmark::kMillisecond);

}  // namespace
