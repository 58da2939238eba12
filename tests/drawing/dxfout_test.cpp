// DXF writer: number and group formats, the fixed tables, entity groups, full-circle arcs, layers,
// text conversion per road, and the output file that is written whole or not at all.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <tuple>

#include "cadtest.h"
#include "drawing/cadbackend.h"
#include "drawing/cadtxt.h"
#include "drawing/dxblock.h"
#include "drawing/dxfout.h"
#include "framework/utilstr.h"

namespace qern::test {
namespace {

class DxfOutTest : public CadTest {
 protected:
  // The lines the writer calls of body produce.
  std::vector<std::string> Lines(const std::function<void()>& body, bool convert = true) {
    std::string text;
    DxfOut = {&text, convert};
    body();
    DxfOut = {};
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
      lines.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
  }
};

TEST_F(DxfOutTest, NumbersAndGroupCodes) {
  EXPECT_EQ(DxfReal(12.5L), "12.500000");
  EXPECT_EQ(DxfReal(-0.25L), "-0.250000");
  EXPECT_EQ(DxfReal(-1e-9L), "0.000000");
  Settings.Decimals = 5;  // the display setting does not shift CAD numbers
  Settings.CadDecimals = 3;
  EXPECT_EQ(Lines([] { DxfLine(1, -2.5L, 0, 0); }),
            (std::vector<std::string>{"  0", "LINE", "  8", "0", " 10", "1.000", " 20", "-2.500",
                                      " 11", "0.000", " 21", "0.000"}));
  // Infinite and undefined values are written as zeros.
  const long double inf = std::numeric_limits<long double>::infinity();
  EXPECT_EQ(Lines([&] { DxfLine(std::numeric_limits<long double>::quiet_NaN(), -inf, inf, 1); }),
            (std::vector<std::string>{"  0", "LINE", "  8", "0", " 10", "0.000", " 20", "0.000",
                                      " 11", "0.000", " 21", "1.000"}));
  Settings.CadDecimals = 0;
  EXPECT_EQ(DxfReal(5), "5");
  EXPECT_EQ(DxfInteger(24), "24");
}

TEST_F(DxfOutTest, FullTurnIsCircle) {
  for (auto [start, end, type] : {std::tuple{0.0L, 360.0L, "CIRCLE"},
                                  std::tuple{360.000001L, 0.0L, "CIRCLE"},
                                  std::tuple{45.0L, 45.0L, "CIRCLE"},
                                  std::tuple{0.0L, 359.99L, "ARC"}}) {
    auto lines = Lines([&] { DxfArc(1, 2, start, end, 3); });
    EXPECT_EQ(lines[1], type) << static_cast<double>(end);
    EXPECT_EQ(lines.size(), std::string(type) == "ARC" ? 14u : 10u);
  }
}

TEST_F(DxfOutTest, PolylineGroupsOnlyWhenNeeded) {
  EXPECT_EQ(Lines([] {
              DxfBeginPolyline(0);
              DxfVertex(1, 2, 0);
              DxfVertex(3, 4, ArcBulge(3.141592653589793L));
              DxfSeqEnd();
            }),
            (std::vector<std::string>{"  0", "POLYLINE", "  8", "0", " 66", "1",
                                      "  0", "VERTEX", "  8", "0", " 10", "1.000000", " 20", "2.000000",
                                      "  0", "VERTEX", "  8", "0", " 10", "3.000000", " 20", "4.000000",
                                      " 42", "1.000000",
                                      "  0", "SEQEND", "  8", "0"}));
  EXPECT_EQ(Lines([] { DxfBeginPolyline(1); })[6], " 70");
}

TEST_F(DxfOutTest, LayerNames) {
  Settings.CadLayerNames = {"NULL", "MITTE", "", "3", "a<b>", "KONTUR"};
  DxfSetLayer(0);
  EXPECT_EQ(CadState.CadLayerName, "0");
  DxfSetLayer(1);
  EXPECT_EQ(CadState.CadLayerName, "MITTE");
  DxfSetLayer(2);  // an empty configured name would make an invalid layer
  EXPECT_EQ(CadState.CadLayerName, "2");
  DxfSetLayer(19);
  EXPECT_EQ(CadState.CadLayerName, "19");
  DxfSetLayer(4);  // CAD programs refuse these characters in layer names
  EXPECT_EQ(CadState.CadLayerName, "a_b_");
  EXPECT_EQ(LayerNumber("a_b_"), 4) << "and the block replay finds the pen again";
  Settings.CadLayerNames[3] = "轮廓";  // no Windows-1252 form
  EXPECT_EQ(CountGroups(Lines(DxfTables), "  2", "__"), 1);
}

TEST_F(DxfOutTest, TablesExactly) {
  Settings.CadLayerColors = {1, 2, 2, 2, 3, 0x105};  // the low byte is the colour
  Settings.CadTextStyle = "txt8";
  std::vector<std::string> expected = {
      "  0", "SECTION", "  2", "TABLES",
      "  0", "TABLE", "  2", "LTYPE", " 70", "23",
      "  0", "LTYPE", "  2", "CONTINUOUS", " 70", "64", "  3", "Ausgezogene Linie", " 72", "65",
      " 73", "0", " 40", "0.0",
      "  0", "LTYPE", "  2", "DASHDOT", " 70", "64", "  3", "--. --. --.-", " 72", "65",
      " 73", "4", " 40", "1.0", " 49", "0.5", " 49", "-0.25", " 49", "0.0", " 49", "-0.25",
      "  0", "LTYPE", "  2", "DASHED", " 70", "64", "  3", "- - - - - - ", " 72", "65",
      " 73", "2", " 40", "0.375", " 49", "0.25", " 49", "-0.125",
      "  0", "ENDTAB",
      "  0", "TABLE", "  2", "LAYER", " 70", "24"};
  auto layer = [&](const std::string& name, int colour, const std::string& type) {
    for (const std::string& s : {std::string("  0"), std::string("LAYER"), std::string("  2"), name,
                                 std::string(" 70"), std::string("0"), std::string(" 62"),
                                 std::to_string(colour), std::string("  6"), type})
      expected.push_back(s);
  };
  layer("0", 1, "CONTINUOUS");
  layer("1", 2, "DASHDOT");
  layer("2", 2, "DASHED");
  layer("3", 2, "CONTINUOUS");
  layer("4", 3, "CONTINUOUS");
  layer("5", 5, "CONTINUOUS");
  for (int n = 16; n <= 31; ++n) layer(std::to_string(n), n - 15, "CONTINUOUS");
  for (const char* s : {"  0", "ENDTAB", "  0", "TABLE", "  2", "STYLE", " 70", "1", "  0", "STYLE",
                        "  2", "STANDARD", " 70", "0", " 40", "0.0", " 41", "1.0", " 50", "0.0",
                        " 71", "0", " 42", "3.5", "  3", "TXT8", "  4", "", "0", "ENDTAB", "  0",
                        "ENDSEC"})
    expected.push_back(s);
  EXPECT_EQ(Lines(DxfTables), expected);

  Settings.LayerMonochrome = true;
  const auto mono = Lines(DxfTables);
  EXPECT_EQ(CountGroups(mono, " 62", "1"), 22);
}

TEST_F(DxfOutTest, EntityGroups) {
  CadSetTextStyle(2, 30, 5, 3.5L);
  CadSetPen(4);
  EXPECT_EQ(Lines([] { DxfText("Maß", 1, 2); }),
            (std::vector<std::string>{"  0", "TEXT", "  8", "4", " 10", "1.000000", " 20",
                                      "2.000000", " 40", "5.000000", "  1", "Ma\xDF", "  7",
                                      "STANDARD", " 41", "0.7", " 50", "30", " 51", "0"}));
  EXPECT_EQ(Lines([] { DxfInsert("rad1", 60, 60, 90, 0.5L, 2); }),
            (std::vector<std::string>{"  0", "INSERT", "  8", "4", "  2", "rad1", " 10",
                                      "60.000000", " 20", "60.000000", " 41", "0.500000", " 42",
                                      "2.000000", " 50", "90.000000"}));
  EXPECT_EQ(Lines([] { DxfBlock("FRAME_1"); }),
            (std::vector<std::string>{"  0", "BLOCK", "  8", "4", "  2", "FRAME_1", " 70", "0",
                                      " 10", "0.0", " 20", "0.0"}));
  EXPECT_EQ(Lines([] { DxfSolid(1, 2, 3, 4, 5, 6, 7, 8); })[14], " 22");
  // A line break in a text would break the file's line structure.
  EXPECT_EQ(Lines([] { DxfText("a\nb", 0, 0); })[11], "a b");
  // The style values of the next texts follow the Decimals setting (kept texts included).
  Settings.Decimals = 5;
  EXPECT_EQ(Lines([] { DxfText("Maß", 1, 2); })[15], "0.700");
  for (int i = 0; i < 5; ++i) {
    CadSetTextStyle(2, i, 5, 3.5L);
    EXPECT_EQ(Lines([] { DxfText("x", 1, 2); })[17], i == 0 ? "0" : FloatStrDot(i)) << i;
  }
  Settings.Decimals = 3;
  EXPECT_EQ(Lines([] { DxfText("Maß", 1, 2); })[15], "0.7");
}

// A text's width factor, rotation and slant are written as the drawing used and measured them,
// whatever the Decimals settings: a value that the 3-digit text holds keeps it.
TEST_F(DxfOutTest, TextStyleWrittenAsUsedWhateverTheDecimals) {
  struct Style {
    long double width, rotation, slant;
  };
  const Style styles[] = {{0.7L, 0, 0},         {0.72L, 90, 12.5L},      {0.7125L, 31.63L, 30},
                          {0.8125L, 46.85L, -30}, {0.6428571428571429L, 270, 0.1L},
                          {2.8L / 3.5L * 0.9L, 1e-7L, 45}};
  int checked = 0;
  for (int decimals = 0; decimals <= 9; ++decimals) {
    for (int cadDecimals : {0, 1, 3, 6, 15}) {
      Settings.Decimals = decimals;
      Settings.CadDecimals = cadDecimals;
      for (const Style& st : styles) {
        CadState.CadTextHeight = 2.5L;
        CadState.CadTextWidth = st.width;
        CadState.CadTextRotation = st.rotation;
        CadState.CadTextSlant = st.slant;
        const std::vector<std::string> lines = Lines([] { DxfText("x", 0, 0); });
        ASSERT_EQ(lines.size(), 20u);
        const std::tuple<const char*, int, long double> groups[] = {
            {" 41", 15, st.width}, {" 50", 17, st.rotation}, {" 51", 19, st.slant}};
        for (const auto& [code, at, value] : groups) {
          EXPECT_EQ(lines[static_cast<size_t>(at) - 1], code);
          EXPECT_EQ(std::strtod(lines[static_cast<size_t>(at)].c_str(), nullptr),
                    static_cast<double>(value))
              << code << " " << lines[static_cast<size_t>(at)] << " Decimals " << decimals
              << " CadDecimals " << cadDecimals;
          EXPECT_EQ(lines[static_cast<size_t>(at)].find(','), std::string::npos);
        }
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 10 * 5 * 6);
  // A value the 3-digit text holds keeps it.
  Settings.Decimals = 3;
  CadSetTextStyle(2, 90, 5, 3.5L);
  const std::vector<std::string> lines = Lines([] { DxfText("x", 0, 0); });
  EXPECT_EQ(lines[15], "0.7");
  EXPECT_EQ(lines[17], FloatStrDot(90));
}

// An insert's scale and a text's height reach DXF and CAD text as the drawing used them: very small
// ones, ones the decimals cut short, mirrored scales. Those the fixed-point text already holds keep
// that text, and every other number its decimals.
TEST_F(DxfOutTest, ScalesAndHeightsHoldTheValueTheDrawingUsed) {
  auto readsBack = [](const std::string& text, long double x) {
    return std::strtod(text.c_str(), nullptr) == static_cast<double>(x);
  };
  // Kept: the fixed-point text reads back as the value.
  for (auto [decimals, x, text] :
       {std::tuple{6, 1.0L, "1.000000"}, std::tuple{6, 0.6L, "0.600000"},
        std::tuple{6, 0.75L, "0.750000"}, std::tuple{6, -2.5L, "-2.500000"},
        std::tuple{3, 0.6L, "0.600"}, std::tuple{0, 2.0L, "2"},
        std::tuple{15, 0.123456789L, "0.123456789000000"}}) {
    Settings.CadDecimals = decimals;
    EXPECT_EQ(DxfRealWithDigits(x), text) << decimals;
  }
  // Written with the digits they need, whatever their size (six significant digits and more
  // included: a scale of 0.1140365 is not 0.114037).
  for (auto [decimals, x] : {std::pair{6, 5.747126436781609e-6L}, std::pair{6, -6.3556e-6L},
                             std::pair{6, 0.08129280273158L}, std::pair{6, 1e-9L},
                             std::pair{6, 0.0263157894736842L}, std::pair{3, 1.4285714285714L},
                             std::pair{3, 3.030328438478266L}, std::pair{0, 0.5L},
                             std::pair{0, 3.030328438478266L}, std::pair{15, 1.5e-12L},
                             std::pair{6, 0.1140365L}, std::pair{6, 6.474820143884892L},
                             std::pair{6, 0.8252064L}, std::pair{6, 10.071942446043165L},
                             std::pair{3, 1234.56789L}, std::pair{6, 123456.7891234L}}) {
    Settings.CadDecimals = decimals;
    const std::string text = DxfRealWithDigits(x);
    EXPECT_TRUE(readsBack(text, x)) << text << " " << decimals;
    EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
  }

  Settings.CadDecimals = 6;
  const long double small = 5.747126436781609e-6L;
  std::vector<std::string> lines = Lines([&] { DxfInsert("rad1", 60.25L, 1e-7L, 90, small, -small); });
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[7], "60.250000");
  EXPECT_EQ(lines[9], "0.000000");
  EXPECT_TRUE(readsBack(lines[11], small)) << lines[11];
  EXPECT_TRUE(readsBack(lines[13], -small)) << lines[13];
  EXPECT_EQ(lines[15], "90.000000");

  // A text's height likewise: a long text fitted small, a height the decimals would round away.
  for (auto [decimals, height] : {std::pair{6, 0.0263157894736842L}, std::pair{0, 0.4L},
                                  std::pair{0, 1.7L}, std::pair{6, 2.5L}}) {
    Settings.CadDecimals = decimals;
    CadSetTextStyle(2, 0, height, height * 0.8L);
    lines = Lines([] { DxfText("x", 1.5L, 2); });
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_TRUE(readsBack(lines[9], height)) << lines[9];
    EXPECT_EQ(lines[5], decimals == 0 ? "2" : "1.500000");
  }
  Settings.CadDecimals = 6;
  EXPECT_EQ(Lines([] { DxfText("x", 1.5L, 2); })[9], "2.500000");

  // CAD text: the same digits with the separator of the setting, at least 3 wide.
  for (int separator : {1, 2}) {
    Settings.DecimalSeparatorMode = separator;
    for (int decimals : {0, 6}) {
      Settings.CadDecimals = decimals;
      std::string text;
      TxtOut = &text;
      TxtInsert("rad1", 1, 2, 0, small, 2);
      TxtInsert("rad1", 1, 2, 0, 1, 1);
      TxtEndFile();
      TxtOut = nullptr;
      std::vector<std::string> f;
      std::stringstream rows(text);
      for (std::string line; std::getline(rows, line, '\n');) {
        std::stringstream row(line.substr(0, line.size() - 1));
        for (std::string v; std::getline(row, v, '\t');) f.push_back(v);
      }
      ASSERT_EQ(f.size(), 15u) << text;
      std::string sx = f[5];
      std::replace(sx.begin(), sx.end(), ',', '.');
      EXPECT_TRUE(readsBack(sx, small)) << f[5];
      EXPECT_EQ(f[5].find(separator == 2 ? '.' : ','), std::string::npos) << f[5];
      EXPECT_EQ(f[6], decimals == 0 ? "  2" : separator == 2 ? "2,000000" : "2.000000");
      const std::string one = decimals == 0 ? "  1" : separator == 2 ? "1,000000" : "1.000000";
      EXPECT_EQ(f[2], one);
      EXPECT_EQ(f[12], one);
      EXPECT_EQ(f[13], one);
    }
  }
}

TEST_F(DxfOutTest, TextsConvertedExceptOnTheScreenRoad) {
  Settings.CadTextMode = 3;  // umlauts spelled out in CAD files
  EXPECT_EQ(Lines([] { DxfText("Zähne", 0, 0); }, true)[11], "Zaehne");
  Settings.CadTextMode = 2;
  EXPECT_EQ(Lines([] { DxfText("Zähne 齿 ±?", 0, 0); }, true)[11], "Z\xE4hne \\U+9F7F \xB1?");
  EXPECT_EQ(Lines([] { DxfText("Zähne 齿", 0, 0); }, false)[11], "Zähne 齿");
}

// Texts and layer names are converted once and kept: a changed setting or layer is still seen.
TEST_F(DxfOutTest, KeptConversionsFollowTheSettings) {
  auto text = [this](const char* s) { return Lines([s] { DxfText(s, 0, 0); }, true)[11]; };
  Settings.CadTextMode = 2;
  EXPECT_EQ(text("Maß ±"), "Ma\xDF \xB1");
  Settings.SpecialCharMode = 1;
  EXPECT_EQ(text("Maß ±"), "Mass +/-");
  Settings.CadTextMode = 1;
  EXPECT_EQ(text("Maß ±"), "Ma\xDF \xB1");
  Settings.CadTextMode = 3;
  Settings.SpecialCharMode = 0;
  EXPECT_EQ(text("Maß ±"), "Mass +/-");
  Settings.CadLayerNames[1] = "Maß";
  Settings.CadLayerNames[2] = "Kontur";
  auto layers = [this] {
    return Lines([] {
      DxfSetLayer(1);
      DxfLine(0, 0, 1, 1);
      DxfSetLayer(2);
      DxfLine(0, 0, 1, 1);
    }, true);
  };
  const auto converted = layers();
  EXPECT_EQ(converted[3], "Ma\xDF");
  EXPECT_EQ(converted[15], "Kontur");
  EXPECT_EQ(Lines([] { DxfSetLayer(1); DxfLine(0, 0, 1, 1); }, false)[3], "Maß");
  // The tables, kept while their settings stay, follow a changed text style and layer colour.
  const auto tables = Lines(DxfTables);
  EXPECT_EQ(Lines(DxfTables), tables);
  Settings.CadTextStyle = "iso";
  EXPECT_EQ(CountGroups(Lines(DxfTables), "  3", "ISO"), 1);
  Settings.CadTextStyle = "TXT8";
  Settings.LayerMonochrome = true;
  EXPECT_NE(Lines(DxfTables), tables);
  Settings.LayerMonochrome = false;
  EXPECT_EQ(Lines(DxfTables), tables);
}

TEST_F(DxfOutTest, HeaderAndSectionOrder) {
  const auto lines = Dxf(EmptySheet);
  const std::vector<std::string> head(lines.begin(), lines.begin() + 30);
  EXPECT_EQ(head, (std::vector<std::string>{
                      "  0", "SECTION", "  2", "HEADER", "  9", "$EXTMIN", " 10", "0.000000",
                      " 20", "0.000000", "  9", "$EXTMAX", " 10", "420.000000", " 20", "297.000000",
                      "  9", "$LIMMIN", " 10", "0.000000", " 20", "0.000000", "  9", "$LIMMAX",
                      " 10", "420.000000", " 20", "297.000000", "  9", "$LTSCALE"}));
  EXPECT_EQ(CountGroups(lines, "  9", "$DWGCODEPAGE"), 1);
  EXPECT_EQ(lines.back(), "EOF");
  EXPECT_EQ(CountGroups(lines, "  0", "SECTION"), 4);
  EXPECT_EQ(CountGroups(lines, "  0", "ENDSEC"), 4);
}

TEST_F(DxfOutTest, FailedWriteLeavesNoFileAndAborts) {
  const std::string target = tmp_.File("out.dxf");
  test::WriteWholeFile(target, "old");
  CadOutputFile::FailNextCommit(true);
  Flags.AbortFlag = false;
  CadBeginOutput(CadDeviceDxf);
  CadBeginDrawing(0, 0, 10, 10);
  CadLine(0, 0, 1, 1);
  CadEndOutput();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(target), "old") << "the old file stays as it was";
  EXPECT_EQ(test::ReadFileLines(target).size(), 1u);
  ASSERT_FALSE(dialogs_->Messages().empty());
  EXPECT_NE(dialogs_->Messages().back().find("out.dxf konnte nicht geschrieben werden"),
            std::string::npos);

  // An unwritable folder: reported, nothing left behind.
  Session.CurrentFileName = tmp_.File("missing/out");
  Flags.AbortFlag = false;
  CadBeginOutput(CadDeviceDxf);
  CadEndOutput();
  EXPECT_TRUE(Flags.AbortFlag);
  struct stat st {};
  EXPECT_NE(::stat(tmp_.File("missing").c_str(), &st), 0);
}

}  // namespace
}  // namespace qern::test
