// Shared set-up of the CAD layer tests: fresh program and layer state, a private folder for
// temporary files and output, scripted dialogs, and helpers that run one output.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/zorqgraf.h"
#include "platform/scripteddialogs.h"
#include "support/testutil.h"

namespace qern::test {

class CadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    CadState = CadOutputState{};
    Settings.TempFolder = AddBackslash(tmp_.Path());
    Settings.ScreenWidth = 1024;
    Settings.ScreenHeight = 768;
    Session.CurrentFileName = tmp_.File("out");
    Flags.BatchCadOutput = true;
    DisplayList.clear();
  }
  void TearDown() override {
    CadEndOutput();
    CadDeleteTempBlockFiles();
    Flags.BatchCadOutput = false;
  }

  // Runs body between CadBeginOutput(device) and CadEndOutput.
  void Output(int device, const std::function<void()>& body) {
    Flags.AbortFlag = false;
    CadBeginOutput(device);
    ASSERT_FALSE(Flags.AbortFlag);
    body();
    CadEndOutput();
  }
  // A whole DXF file written by body; its lines.
  std::vector<std::string> Dxf(const std::function<void()>& body) {
    Output(CadDeviceDxf, body);
    return ReadFileLines(tmp_.File("out.dxf"));
  }

  TempFolder tmp_;
  ScopedScriptedDialogs dialogs_;
};

// An A3 drawing with every section and nothing in them.
inline void EmptySheet() {
  CadBeginDrawing(0, 0, 420, 297);
  CadTables();
  CadBeginBlocks();
  CadEndSection();
  CadBeginEntities();
  CadEndSection();
}

// The groups from the one whose value is `from` up to (without) the next one whose value is `to`.
inline std::vector<std::string> Slice(const std::vector<std::string>& lines, const std::string& from,
                                      const std::string& to) {
  std::vector<std::string> out;
  size_t i = 1;
  while (i < lines.size() && lines[i] != from) i += 2;
  if (i >= lines.size()) return out;
  for (--i; i < lines.size(); ++i) {
    if (!out.empty() && lines[i] == to) break;
    out.push_back(lines[i]);
  }
  return out;
}

// How often the group (code line, value) occurs.
inline int CountGroups(const std::vector<std::string>& lines, const std::string& code,
                       const std::string& value) {
  int n = 0;
  for (size_t i = 0; i + 1 < lines.size(); i += 2)
    if (lines[i] == code && lines[i + 1] == value) ++n;
  return n;
}

}  // namespace qern::test
