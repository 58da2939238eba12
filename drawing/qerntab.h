// Text tables drawn with CAD lines and texts: the gear-data table and data field of one part, the
// tables common to both parts (diameters and clearances, pitches, tool) and the message table.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "drawing/zorqcad.h"

namespace qern {

constexpr int TextTableColumns = 7;
using TextTableRow = std::array<std::string, TextTableColumns>;

// A table that grows downwards from its upper left corner (x, y): a title row, a heading row and
// one row per TextTableAddRow, each row 2 h high. Column i starts at x(i), x(i+1) = x(i) +
// 0.9 h width(i); the columns in use end where a position stops increasing.
class TextTable {
 public:
  // TextTableInit: pen 17, title row, heading row in pen 18 (each heading after a blank,
  // text height 0.75 h). h = 0 takes 3.5.
  TextTable(const std::string& title, const TextTableRow& headings,
            const std::array<int, TextTableColumns>& widths, long double x, long double y,
            long double h);
  // TextTableAddRow: pen 17, the row's cells in the used columns and its lines.
  void AddRow(const TextTableRow& cells);
  // The rows one after the other, as AddRow draws each; nothing else is drawn between them.
  void AddRows(const std::vector<TextTableRow>& rows);

  // The box of the lines a table of rowCount rows draws (its texts may reach past them).
  static CadBox LinesBox(const std::string& title, const TextTableRow& headings,
                         const std::array<int, TextTableColumns>& widths, long double x,
                         long double y, long double h, size_t rowCount);

  int UsedColumns() const { return used_; }
  long double ColumnX(int i) const { return colX_[i]; }  // i = 0 .. 7
  long double TextHeight() const { return h_; }
  long double NextRowY() const { return rowY_; }
  long double Width() const { return colX_[used_] - colX_[0]; }

 private:
  // Writes the heading row; a table with headings draws it once under its title.
  void Headings();
  // Frame lines of one row band from top to top - 2 h.
  void RowLines(long double top);
  // A row; setPen false: the pen is still that of the row before.
  void Row(const TextTableRow& cells, bool setPen);
  std::string title_;
  TextTableRow headings_;
  std::array<long double, TextTableColumns + 1> colX_{};
  int used_ = 0;
  long double h_ = 3.5L;
  long double rowY_ = 0;
};

// Rows of the tables, as label, symbol and value texts (value 2 only in the two-part tables).
// Part 1 or 2; any other part gives no rows.
std::vector<TextTableRow> GearDataRows(int part);
std::vector<TextTableRow> GearFieldRows(int part);
std::vector<TextTableRow> GearCommonRows();
std::vector<TextTableRow> GearPitchRows();
std::vector<TextTableRow> ToolDataRows();
// "ZAHNWELLE 01 (External spline)" / "ZAHNNABE 02 (Internal spline)".
std::string GearTableTitle(int part);

// The gear-data table of one part (pen 4); part other than 1 or 2: "Error Radnr !", no table.
void GearDataTable(int part, long double x, long double y, long double h);
// How far the gear-data table of a part reaches down from its y (title row and rows, 2 h each).
long double GearDataTableHeight(int part, long double h);
// The compact data field of one part.
void GearDataField(int part, long double x, long double y, long double h);
void GearCommonTable(long double x, long double y, long double h);
void GearPitchTable(long double x, long double y, long double h);
void ToolDataTable(long double x, long double y, long double h);
// "Fehlermeldungen": one row per message of the error list; with space > 0 the text height
// shrinks so that all rows fit into that height. No messages: nothing.
void DrawMessageTable(int pen, long double x, long double y, long double h, long double space);
// The text height DrawMessageTable uses for count messages.
long double MessageTableHeight(int count, long double h, long double space);
// How wide DrawMessageTable draws the messages of the error list (0 without messages).
long double MessageTableWidth(long double h, long double space);

}  // namespace qern
