// Writes every drawing kind of the default design and of each shipped design as DXF, IGES and CAD
// text into a folder, under a few settings sets, so that two builds' outputs can be compared file by
// file (bench/compare_kinds.sh). The batch command line reaches only some kinds; this reaches all.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "framework/progvar.h"

namespace fs = std::filesystem;
using namespace qern;

namespace {

// The settings sets: the start values, then values that take the other roads of the writers
// (decimals, comma, title-block form, margin, monochrome layers, suppressed items).
void ApplySettings(int set) {
  if (set == 1) {
    Settings.CadDecimals = 3;
    Settings.Decimals = 5;
    Settings.DecimalSeparatorMode = 2;
    Settings.TitleBlockKind = 0;
    Settings.DrawingMargin = 0;
    Settings.LayerMonochrome = true;
    Settings.SpecialCharMode = 1;
    Settings.DrawFrameZones = true;
    Settings.DrawMmScale = true;
    Settings.DrawChangeLog = true;
    Settings.CadTextAngle = 12.5L;
    Settings.CadTextWidthFactor = 0.9L;
  } else if (set == 2) {
    Settings.CadDecimals = 0;
    Settings.Decimals = 0;
    Settings.DrawTitleBlock = true;
    Settings.DrawFooter = true;
    Settings.DrawLogo = true;
    Settings.DrawMakerTitle = true;
    Settings.UnitSystem = 1;
  } else if (set == 3) {
    Settings.CadDecimals = 15;
    Settings.Decimals = 9;
    Settings.TitleBlockKind = 1;
    Settings.DrawProtectionNote = true;
    Settings.CadLayerNames = {"0", "Mittel linie", "Verdeckt", "Maß", "Dünn", "Ränder"};
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "dump_kinds <data folder> <output folder>\n");
    return 2;
  }
  const std::string data = fs::absolute(argv[1]).string();
  fs::create_directories(argv[2]);
  const std::string out = fs::absolute(argv[2]).string();
  // Relative output names: the file name drawn into a sheet is then the same in every folder.
  fs::current_path(out);
  std::vector<std::string> designs = {"", data + "/null.qrk"};
  std::vector<std::string> examples;
  for (const auto& f : fs::directory_iterator(data + "/examples"))
    if (f.path().extension() == ".qrk") examples.push_back(f.path().string());
  std::sort(examples.begin(), examples.end());
  designs.insert(designs.end(), examples.begin(), examples.end());
  int files = 0, failed = 0;
  for (int set = 0; set <= 3; ++set) {
    for (const std::string& design : designs) {
      InitProgramState();
      ApplySettings(set);
      Settings.TempFolder = out + "/";
      Flags.ErrorBoxesEnabled = false;
      if (design.empty()) {
        SetDefaultDesign();
        CalculateSerration();
      } else {
        ReadDataFile(design);
      }
      const std::string stem =
          "s" + std::to_string(set) + "_" +
          (design.empty() ? std::string("default") : fs::path(design).stem().string());
      for (int device : {1, 2, 5}) {
        const std::string ext = device == 1 ? ".dxf" : device == 2 ? ".igs" : ".txt";
        for (int kind = 1; kind <= DrawingKindCount; ++kind) {
          Flags.AbortFlag = false;
          Flags.BatchCadOutput = true;
          Session.CurrentFileName = stem + ".k" + std::to_string(kind);
          DrawMenu(device, kind);
          Flags.BatchCadOutput = false;
          if (fs::exists(Session.CurrentFileName + ext))
            ++files;
          else
            ++failed;
        }
      }
    }
  }
  std::printf("%d files written, %d kinds without a file\n", files, failed);
  return 0;
}
