// Drawings of designs whose parts overlap reach past their kinds' rooms: drawn again, such a
// drawing is measured first instead of being watched and begun again, and every file comes out as
// the earlier way (measured first) writes it, on every device, drawn once or again.
#include <gtest/gtest.h>

#include <string>

#include "design/aendvar.h"
#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "support/testutil.h"

namespace qern::test {
namespace {

class ReachedPast : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    InitDrawingInfo();
    Settings.TempFolder = dir_.Path() + "/";
    Flags.ErrorBoxesEnabled = false;
  }
  void TearDown() override {
    DrawingExtentsWay = ExtentsWay::Watched;
    Flags.BatchCadOutput = false;
    Flags.ErrorBoxesEnabled = true;
    SetDefaultDesign();
    InitDrawingInfo();
    ResetErrors();
  }
  // The file of kind on device, written the given way; its text without the time of writing.
  std::string Written(int device, int kind, ExtentsWay way) {
    DrawingExtentsWay = way;
    Flags.BatchCadOutput = true;
    Flags.AbortFlag = false;
    Session.CurrentFileName = dir_.File("k" + std::to_string(kind));
    DrawMenu(device, kind);
    Flags.BatchCadOutput = false;
    const char* ext = device == CadDeviceDxf ? ".dxf" : device == CadDeviceIges ? ".igs" : ".txt";
    std::string text;
    for (const std::string& line : ReadFileLines(Session.CurrentFileName + ext))
      text += (line.find("15H") != std::string::npos ? std::string("(dated)") : line) + "\n";
    return text;
  }
  TempFolder dir_;
};

TEST_F(ReachedPast, FilesAsMeasuredFirstWhenDrawnAgain) {
  // Twenty teeth, both radial clearances negative.
  SetDefaultDesign();
  Design.ToothCount = {0, 20, -20};
  Design.MajorDiameterInput = Design.MinorDiameterInput = 1;
  Design.TipDiameterInput[1] = 14.9L;
  Design.RootDiameterInput[2] = 12.9L;
  Design.TipDiameterInput[2] = 11.3L;
  Design.RootDiameterInput[1] = 13.3L;
  CalculateSerration();
  ASSERT_FALSE(Flags.FatalError);
  for (int device : {CadDeviceDxf, CadDeviceIges, CadDeviceText}) {
    for (int kind = 1; kind <= DrawingKindCount; ++kind) {
      const std::string first = Written(device, kind, ExtentsWay::MeasuredFirst);
      EXPECT_EQ(Written(device, kind, ExtentsWay::Watched), first) << device << " " << kind;
      EXPECT_EQ(Written(device, kind, ExtentsWay::Watched), first) << device << " " << kind;
    }
  }
}

}  // namespace
}  // namespace qern::test
