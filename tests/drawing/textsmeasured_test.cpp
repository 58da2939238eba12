// Texts and user blocks written as they were measured: a text's style numbers whatever the Decimals
// settings, fitted texts by the characters the file holds, slanted texts and user block files
// inside the extents on every device.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "dxfbounds.h"
#include "framework/progvar.h"
#include "framework/zorqgraf.h"
#include "platform/scripteddialogs.h"
#include "support/readers.h"
#include "support/testutil.h"

namespace qern::test {
namespace {

class TextsMeasured : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Settings;
    Settings.TempFolder = dir_.Path() + "/";
    Settings.GravuraCommandLines[0] = dir_.File("no-plot-program") + " gravura.dxf";
    SetDefaultDesign();
    CalculateSerration();
  }
  void TearDown() override {
    Flags.BatchCadOutput = false;
    Settings = saved_;
    PartDrawingName = savedNames_;
    SetDefaultDesign();
    ResetErrors();
  }
  // Draws kind on device (files named base + kind); returns the file written ("" on the screen).
  std::string Draw(int device, int kind, const std::string& base = "k") {
    Flags.BatchCadOutput = true;
    Flags.AbortFlag = false;
    Session.CurrentFileName = dir_.File(base + std::to_string(kind));
    DisplayList.clear();
    DrawMenu(device, kind);
    Flags.BatchCadOutput = false;
    switch (device) {
      case CadDeviceDxf: return Session.CurrentFileName + ".dxf";
      case CadDeviceIges: return Session.CurrentFileName + ".igs";
      case CadDeviceText: return Session.CurrentFileName + ".txt";
      case CadDevicePlot: return dir_.File("gravura.dxf");
      default: return "";
    }
  }
  TempFolder dir_;
  ProgramSettings saved_;
  PerPart<std::string> savedNames_ = PartDrawingName;
  ScopedScriptedDialogs dialogs_;
};

// The groups of each entity of a type in a DXF file, in order: code -> value.
std::vector<std::map<int, std::string>> EntitiesOf(const std::string& file,
                                                   const std::string& type) {
  const std::vector<std::string> lines = ReadFileLines(file);
  std::vector<std::map<int, std::string>> out;
  bool in = false;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    const int code = std::atoi(lines[i].c_str());
    if (code == 0 && (in = lines[i + 1] == type)) out.emplace_back();
    else if (in) out.back()[code] = lines[i + 1];
  }
  return out;
}

// The numbers of a DXF file's TEXT (41, 50, 51) and INSERT (41, 42) groups.
std::vector<double> StyleAndScaleNumbers(const std::string& file) {
  std::vector<double> out;
  for (const auto& [type, codes] : {std::pair{"TEXT", std::vector{41, 50, 51}},
                                    std::pair{"INSERT", std::vector{41, 42}}})
    for (const auto& e : EntitiesOf(file, type))
      for (int code : codes)
        out.push_back(e.count(code) ? std::strtod(e.at(code).c_str(), nullptr) : -1);
  return out;
}

// Every kind writes the same text widths, angles and slants and the same insert scales whatever
// the Decimals settings (at Decimals 1 and 2 fitted widths came out as 0.7, 0.8 and 1).
TEST_F(TextsMeasured, StyleNumbersTheSameWhateverTheDecimals) {
  Settings.CadTextAngle = 12.5L;
  Settings.CadTextWidthFactor = 0.9L;
  for (int kind = 1; kind <= DrawingKindCount; ++kind) {
    Settings.Decimals = 3;
    Settings.CadDecimals = 6;
    const std::vector<double> reference = StyleAndScaleNumbers(Draw(CadDeviceDxf, kind, "ref"));
    for (int decimals : {0, 1, 2, 9}) {
      for (int cadDecimals : {0, 6}) {
        Settings.Decimals = decimals;
        Settings.CadDecimals = cadDecimals;
        EXPECT_EQ(StyleAndScaleNumbers(Draw(CadDeviceDxf, kind)), reference)
            << "kind " << kind << " Decimals " << decimals << " CadDecimals " << cadDecimals;
      }
    }
  }
}

// A fitted text is as long in the file as it was fitted, with umlauts and signs spelled out there
// (CAD text mode 3, or ANSI with spelled special characters) as well as kept.
TEST_F(TextsMeasured, FittedByTheTextTheFileHolds) {
  const std::string texts[] = {"Dr. Hans-Peter Müller-Lüdenscheidt",
                               "Ersatz für Zeichnung 4711-0815-A", "Maß 12 ±0,05 °C Öl"};
  const std::pair<int, int> modes[] = {{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}};
  int checked = 0;
  for (const auto& [textMode, special] : modes) {
    Settings.CadTextMode = textMode;
    Settings.SpecialCharMode = special;
    for (const std::string& s : texts) {
      for (long double maxLength : {20.0L, 50.0L}) {
        Flags.BatchCadOutput = true;
        Session.CurrentFileName = dir_.File("fit");
        CadBeginOutput(CadDeviceDxf);
        CadSetPen(0);
        CadBeginDrawing(0, 0, 100, 100);
        CadBeginEntities();
        CadSetTextStyleFit(2, s, 0, 2.5L, 1.8L, maxLength);
        CadText(s, 0, 0);
        CadEndSection();
        CadEndOutput();
        Flags.BatchCadOutput = false;
        const auto written = EntitiesOf(dir_.File("fit.dxf"), "TEXT");
        ASSERT_EQ(written.size(), 1u);
        const std::string& text = written[0].at(1);
        const double height = std::strtod(written[0].at(40).c_str(), nullptr);
        const double length = static_cast<double>(text.size()) * height *
                              std::strtod(written[0].at(41).c_str(), nullptr);
        // The fit's proportion: a character of width w is w * GraphicTextWidthFactor / 0.7 long.
        const double most = static_cast<double>(maxLength * 0.7L * Settings.CadTextWidthFactor /
                                                Settings.GraphicTextWidthFactor);
        EXPECT_LE(length, most * (1 + 1e-12))
            << text << " mode " << textMode << "/" << special << " in " << maxLength;
        if (height < 2.5) {
          EXPECT_GT(length, most * 0.99) << text << " shrunk fills its room";
        }
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 5 * 3 * 2);
}

// With the CAD text slant at 30 degrees (either way) every text of every kind, its top leaning
// along it, stays inside the extents, also part names of 255 characters.
TEST_F(TextsMeasured, SlantedTextsInsideTheExtents) {
  std::string name;
  for (int i = 0; name.size() < 255; ++i) name += "Welle-" + std::to_string(i) + " ";
  name.resize(255);
  PartDrawingName[1] = name;
  PartDrawingName[2] = "Nabe " + name.substr(5);
  int checked = 0;
  for (long double slant : {30.0L, -30.0L}) {
    Settings.CadTextAngle = slant;
    for (int device : {CadDeviceDxf, CadDevicePlot}) {
      for (int kind = 1; kind <= DrawingKindCount; ++kind, ++checked)
        EXPECT_EQ(FirstPointOutside(Draw(device, kind)), "")
            << "slant " << static_cast<double>(slant) << " device " << device << " kind " << kind;
    }
  }
  EXPECT_EQ(checked, 2 * 2 * DrawingKindCount);
}

// A file's text without the time of writing (the IGES date, the time drawn on a sheet).
std::string Timeless(const std::string& file) {
  std::string text;
  for (const std::string& l : ReadFileLines(file)) text += l + "\n";
  text = std::regex_replace(text, std::regex("15H[0-9]{8}\\.[0-9]{6},"), "15H,");
  return std::regex_replace(text, std::regex("[0-9]{1,2}:[0-9]{2}"), "00:00");
}

// The window of the screen's drawing and the first line drawn outside it ("" when none).
std::string ScreenLineOutside() {
  std::array<double, 4> w{};
  for (const DisplayRecord& r : DisplayList) {
    const auto& a = r.Args;
    if (r.Code == RecWindow) w = {a[4], a[5], a[6], a[7]};
    if (r.Code != RecLine) continue;
    const double tol = 1e-6 * std::max(w[2] - w[0], w[3] - w[1]);
    for (int k = 0; k < 4; k += 2)
      if (a[k] < w[0] - tol || a[k] > w[2] + tol || a[k + 1] < w[1] - tol ||
          a[k + 1] > w[3] + tol)
        return r.ToText();
  }
  return "";
}

// User block files (the logos, head and insert blocks) holding shapes far off the sheet: each
// device that draws them states extents that hold them (the plot program's DXF, whose copies of
// the files reach far past the sheet, and the screen's window); the devices that write no user
// blocks write the same file as without them.
TEST_F(TextsMeasured, UserBlockFilesMeasuredOnEveryDevice) {
  Settings.UseHeadBlockFiles = true;
  Settings.UseInsertBlockFiles = true;
  const int devices[] = {CadDeviceDxf, CadDeviceIges, CadDeviceText, CadDevicePlot,
                         CadDeviceScreen};
  const int kinds[] = {1, 5, 7, 8, 15};
  std::map<std::pair<int, int>, std::string> without;
  for (int device : devices)
    for (int kind : kinds)
      if (device != CadDevicePlot && device != CadDeviceScreen)
        without[{device, kind}] = Timeless(Draw(device, kind));
  // A far line and a circle off to the lower left, and a text with an umlaut, in every file.
  const std::string block =
      "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n 11\r\n5000.0\r\n 21\r\n5000.0\r\n"
      "  0\r\nCIRCLE\r\n  8\r\n0\r\n 10\r\n-300.0\r\n 20\r\n-200.0\r\n 40\r\n50.0\r\n"
      "  0\r\nTEXT\r\n  8\r\n0\r\n 10\r\n0.0\r\n 20\r\n-400.0\r\n 40\r\n5.0\r\n  1\r\nGr\xFC\xDF"
      "e\r\n 41\r\n1.0\r\n 50\r\n0.0\r\n  0\r\nEOF\r\n";
  for (const char* name : {"$LOGO_2.dx$", "$LOGO_3.dx$", "$logo_1.dx$", "$head_0.dx$",
                           "$insert_0.dx$"})
    WriteWholeFile(dir_.File(name), block);
  int checked = 0;
  std::vector<std::string> plotFiles;
  for (int device : devices) {
    for (int kind : kinds) {
      const std::string file = Draw(device, kind);
      const std::string what = "device " + std::to_string(device) + " kind " + std::to_string(kind);
      ++checked;
      if (device == CadDeviceScreen) {
        EXPECT_EQ(ScreenLineOutside(), "") << what;
        continue;
      }
      if (device != CadDevicePlot) {
        EXPECT_EQ(Timeless(file), (without[{device, kind}])) << what;
        continue;
      }
      EXPECT_EQ(FirstPointOutside(file), "") << what;
      double far = 0;
      for (const DxfPoint& p : DxfBounds(file).Points()) far = std::max(far, p.x);
      EXPECT_GT(far, 220) << what << ": the far line is drawn";
      plotFiles.push_back(dir_.File("plot" + std::to_string(kind) + ".dxf"));
      std::filesystem::copy_file(file, plotFiles.back());
    }
  }
  EXPECT_EQ(checked, 5 * 5);

  // The plot files as an independent reader explodes their inserts: every line within the extents.
  std::vector<std::string> argv = {"/usr/bin/python3",
                                   QERN_SOURCE_DATA "/../tests/readers/dxf_audit.py"};
  argv.insert(argv.end(), plotFiles.begin(), plotFiles.end());
  std::string out;
  const int status = RunReaderOutput(argv, out);
  if (ReaderAbsent(status, "ezdxf (python3-ezdxf)")) GTEST_SKIP() << "ezdxf missing";
  EXPECT_EQ(status, 0) << out.substr(0, 4000);
  std::istringstream lines(out);
  std::string file;
  double e[4] = {};
  int far = 0;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream row(line);
    std::string tag, block;
    row >> tag;
    if (tag == "FILE") {
      row >> file;
      const DxfBounds dxf(file);
      std::copy(dxf.extents, dxf.extents + 4, e);
    } else if (tag == "XLINE") {
      double p[4] = {};
      row >> block >> p[0] >> p[1] >> p[2] >> p[3];
      for (int k = 0; k < 4; k += 2) {
        EXPECT_TRUE(p[k] >= e[0] - 1e-3 && p[k] <= e[2] + 1e-3 && p[k + 1] >= e[1] - 1e-3 &&
                    p[k + 1] <= e[3] + 1e-3)
            << file << ": " << line;
        far += p[k] > 220;
      }
    }
  }
  EXPECT_GT(far, 0) << "the far lines reached the reader";
}

}  // namespace
}  // namespace qern::test
