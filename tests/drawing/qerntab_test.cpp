// Gear-data tables: labels, symbols and order of the rows, the message table's height, column
// counting of the text table, rows drawn together as each alone.
#include "drawing/qerntab.h"

#include <gtest/gtest.h>

#include "cadtest.h"
#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "framework/progvar.h"

using namespace qern;

namespace {

class GearTables : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDefaultDesign();
    CalculateSerration();
    ResetErrors();
  }
  void TearDown() override { ResetErrors(); }
  static std::vector<std::string> Column(const std::vector<TextTableRow>& rows, int c) {
    std::vector<std::string> out;
    for (const TextTableRow& r : rows) out.push_back(r[c]);
    return out;
  }
};

TEST_F(GearTables, DataTableRowsOfBothParts) {
  const std::vector<std::string> common = {"Zähnezahl", "Modul", "Eingriffswinkel", "Lückenwinkel",
                                           "Teilkreisdurchmesser"};
  std::vector<std::string> shaft = common, hub = common;
  shaft.insert(shaft.end(), {"Kopfkreisdurchmesser", "Fußformkreisdurchmesser", "Fußradius", "Zahndicke",
                             "Meßkreisdurchmesser", "Maß über Meßkreise", "Teilung", "Zahnhöhe", "Gegenstück"});
  hub.insert(hub.end(), {"Fußradius", "Fußformkreisdurchmesser", "Kopfkreisdurchmesser", "Zahnlücke",
                         "Meßkreisdurchmesser", "Maß zwischen Meßkreisen", "Teilung", "Zahnhöhe", "Gegenstück"});
  EXPECT_EQ(Column(GearDataRows(1), 0), shaft);
  EXPECT_EQ(Column(GearDataRows(2), 0), hub);
  EXPECT_EQ(Column(GearDataRows(1), 1),
            (std::vector<std::string>{"z", "m", "alpha", "gamma e", "d", "da1 (Dee)", "dFf1 (DFe)",
                                      "rhof1 (Re)", " sn (S)", "Dm (DRe)", "MRe", "P", "h", ""}));
  EXPECT_EQ(Column(GearDataRows(2), 1),
            (std::vector<std::string>{"z", "m", "alpha", "gamma i", "d", "rhof2 (Ri)", "dFf2 (DFi)",
                                      "da2 (Dii)", "en (E)", "Dm (DRi)", "MRi", "P", "h", ""}));
  // Values: the hub's count of teeth keeps its sign, its pitch diameter is shown positive; the
  // counterpart is the other part's drawing number.
  EXPECT_EQ(GearDataRows(2)[0][2], "-31");
  EXPECT_EQ(GearDataRows(2)[4][2], "13.000");
  EXPECT_EQ(GearDataRows(1).back()[2], "02");
  // Angles show their degree sign once, in the value; lengths their unit in the fourth column.
  for (int part : {1, 2}) {
    for (int row : {2, 3}) {
      const TextTableRow angle = GearDataRows(part)[row];  // a copy: the rows are a temporary
      EXPECT_NE(angle[2].find("°"), std::string::npos) << angle[2];
      EXPECT_EQ(angle[3], "") << part << " " << row;
    }
    EXPECT_EQ(GearDataRows(part)[4][3], "mm");
  }
  EXPECT_EQ(GearTableTitle(1), "ZAHNWELLE 01 (External spline)");
  EXPECT_EQ(GearTableTitle(2), "ZAHNNABE 02 (Internal spline)");
}

TEST_F(GearTables, DataFieldAndCommonTables) {
  EXPECT_EQ(Column(GearFieldRows(1), 1),
            (std::vector<std::string>{" z", "m", "alpha", "gam.e", "d", "da1", "dFf1", "df1", "rhof1",
                                      "sn1", "MR1"}));
  EXPECT_EQ(Column(GearFieldRows(2), 1),
            (std::vector<std::string>{" z", "m", "alpha", "gam.i", "d", "df2", "dFf2", "da2", "rhof2",
                                      "en2", "MR2"}));
  EXPECT_EQ(GearFieldRows(2)[0][2], "31");  // z1 for both parts
  EXPECT_EQ(GearFieldRows(1).back()[0], "Prüfmaß (DM=0.8)");
  EXPECT_EQ(Column(GearCommonRows(), 1),
            (std::vector<std::string>{"d", "db", "c e/i", "cp", "x", "x*m", "h"}));
  EXPECT_EQ(Column(GearPitchRows(), 0),
            (std::vector<std::string>{"Normalteilung", "Normal Pitch", "Flankenspiel", "Drehflankenspiel"}));
  EXPECT_EQ(Column(ToolDataRows(), 1),
            (std::vector<std::string>{"hfP0/mn", "haP0/mn", "rhoaP0/mn", "hfP0", "haP0", "rhoaP0"}));
  EXPECT_EQ(ToolDataRows()[0][2], "1.074");
  EXPECT_TRUE(GearDataRows(3).empty());
  GearDataTable(3, 0, 0, 1);
  ASSERT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Error Radnr !");
}

TEST_F(GearTables, HeightsAndColumns) {
  EXPECT_EQ(MessageTableHeight(3, 2.5L, 16), 2);
  EXPECT_EQ(MessageTableHeight(3, 1.5L, 16), 1.5L);
  EXPECT_EQ(MessageTableHeight(1, 1.3L, 16), 1.3L);  // one message keeps its height
  // The gear-data table's height: its title row and its rows, 2 h each.
  for (int part : {1, 2, 3})
    EXPECT_EQ(GearDataTableHeight(part, 2.5L),
              5 * (1 + static_cast<long double>(GearDataRows(part).size())))
        << part;
  EXPECT_EQ(GearDataTableHeight(1, 0), 7 * 15);
  TextTable t("T", {}, {10, 5, 0, 7}, 0, 0, 0);
  EXPECT_EQ(t.TextHeight(), 3.5L);
  EXPECT_EQ(t.UsedColumns(), 2);  // the third position does not move on
  EXPECT_NEAR(t.Width(), 3.5L * 15 * 0.9L, 1e-12);
  t.AddRow({"a", "b"});
  EXPECT_NEAR(t.NextRowY(), -4 * 3.5L, 1e-12);  // title row and one row
}

class TextTableOutput : public qern::test::CadTest {
 protected:
  // The table drawn on the device: DXF lines or the screen's display-list records.
  std::vector<std::string> Drawn(int device, const std::function<void()>& body) {
    if (device == CadDeviceDxf) return Dxf(body);
    Flags.AbortFlag = false;
    CadBeginOutput(device);
    body();
    std::vector<std::string> records = DisplayListText();
    CadEndOutput();
    return records;
  }
};

// The box a table's lines are known by before it is drawn is the box they fill: with and without
// title and headings, at the default and other heights, columns unused after a zero width, any
// number of rows.
TEST_F(TextTableOutput, LinesFillTheBoxKnownBeforehand) {
  using Widths = std::array<int, TextTableColumns>;
  for (const std::string& title : {std::string(), std::string("Titel")}) {
    for (const TextTableRow& headings : {TextTableRow{}, TextTableRow{"", "x"}}) {
      for (const Widths& widths : {Widths{19, 9, 7, 3}, Widths{20, 6, 0, 7}, Widths{30}}) {
        for (long double h : {0.0L, 1.33L, 3.5L}) {
          for (size_t count : {0, 1, 14}) {
            const std::vector<TextTableRow> rows(count, TextTableRow{"a", "b", "c", "d"});
            const long double x = 12.5L, y = 125;
            const CadBox known = TextTable::LinesBox(title, headings, widths, x, y, h, count);
            const CadBox drawn = qern::test::ShapesBox::Of([&] {
              TextTable t(title, headings, widths, x, y, h);
              t.AddRows(rows);
            });
            const std::string what = "title '" + title + "' headings " +
                                     std::to_string(!headings[1].empty()) + " width " +
                                     std::to_string(widths[0]) + " h " +
                                     std::to_string(static_cast<double>(h)) + " rows " +
                                     std::to_string(count);
            ASSERT_FALSE(drawn.Empty()) << what;
            EXPECT_NEAR(drawn.xmin, known.xmin, 1e-12) << what;
            EXPECT_NEAR(drawn.xmax, known.xmax, 1e-12) << what;
            EXPECT_NEAR(drawn.ymin, known.ymin, 1e-12) << what;
            EXPECT_NEAR(drawn.ymax, known.ymax, 1e-12) << what;
          }
        }
      }
    }
  }
}

TEST_F(TextTableOutput, RowsTogetherAsEachAlone) {
  const std::vector<TextTableRow> rows = {{"a", "1"}, {"b", "2"}, {"c", "3"}};
  for (int device : {CadDeviceDxf, CadDeviceScreen}) {
    const auto together = Drawn(device, [&] {
      TextTable t("T", {"x", "y"}, {10, 5}, 0, 0, 0);
      t.AddRows(rows);
    });
    const auto alone = Drawn(device, [&] {
      TextTable t("T", {"x", "y"}, {10, 5}, 0, 0, 0);
      for (const TextTableRow& r : rows) t.AddRow(r);
    });
    EXPECT_EQ(together, alone) << device;
  }
  // A row added after another pen was set draws with the table's pen again.
  const auto lines = Dxf([] {
    TextTable t("", {}, {10}, 0, 0, 0);
    t.AddRow({"a"});
    CadSetPen(3);
    t.AddRow({"b"});
  });
  std::vector<std::string> layers;
  for (size_t i = 0; i + 3 < lines.size(); i += 2)
    if (lines[i] == "  0" && lines[i + 1] == "LINE" && lines[i + 2] == "  8")
      layers.push_back(lines[i + 3]);
  ASSERT_FALSE(layers.empty());
  EXPECT_EQ(layers.back(), "17");
}

}  // namespace
