// DXF writer: the group-pair writer of the program's ASCII DXF subset (HEADER, TABLES, BLOCKS,
// ENTITIES; LINE, CIRCLE, ARC, TEXT, SOLID, INSERT, POLYLINE/VERTEX/SEQEND; EOF), lines ending in
// CR LF, texts in Windows-1252; and the DXF and plot-program back ends of the CAD output layer.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "drawing/cadbackend.h"

namespace qern {

// Where the Dxf... writers write: a text in memory, and whether TEXT strings are converted for the
// CAD file (every road but the screen's blocks, which keep the program's text).
struct DxfTarget {
  std::string* Out = nullptr;
  bool ConvertTexts = true;
  bool RecordGroups = false;  // every group also to RecordBlockGroup (the screen's blocks)
};
extern DxfTarget DxfOut;

// The texts the writer gives a name or text value and the current layer where texts are not
// converted (the screen's blocks keep the program's UTF-8).
std::string DxfPlainValue(const std::string& s);
std::string DxfPlainLayer();

// Value texts.
std::string DxfReal(long double x);  // CadDecimals decimals, "." ("12.500000")
std::string DxfInteger(long long n);
// The text of a number whose size is not fixed (an insert's scale, a text's height), "." as
// separator: DxfReal's text where that reads back as the value; otherwise the shortest fixed-point
// text that reads back as the value, so that the number reaches the file as the drawing used it
// (and measured it), whatever its size. (The text is valid until the next call.)
const std::string& DxfRealWithDigits(long double x);
// Whether n / 10^decimals (RoundScaled's n for x) reads back as x: the fixed text then holds x.
bool DxfScaledReadsBack(long double x, unsigned long long n, int decimals);
// The text of a TEXT's width factor, rotation or slant (groups 41, 50, 51): the 3-digit number
// text (FloatStrDot) where that reads back as the value, else DxfRealWithDigits' text; a text is
// written as wide, turned and slanted as it was measured, whatever the Decimals settings.
std::string DxfTextStyleNumber(long double x);
// One group: the code right-aligned in 3 columns, then the value.
void DxfGroup(int code, const std::string& value);
void DxfGroupReal(int code, long double x);

void DxfHeader(long double xmin, long double ymin, long double xmax, long double ymax);
void DxfTables();
void DxfBeginBlocks();
void DxfBlock(const std::string& name);
void DxfEndBlock();
void DxfEndSection();
void DxfBeginEntities();
void DxfLine(long double x1, long double y1, long double x2, long double y2);
void DxfCircle(long double x, long double y, long double r);
// A full turn (start = end, or 0 to 360) is written as a CIRCLE.
void DxfArc(long double x, long double y, long double startAngle, long double endAngle,
            long double r);
void DxfText(const std::string& s, long double x, long double y);
void DxfSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
              long double y3, long double x4, long double y4);
void DxfInsert(const std::string& name, long double x, long double y, long double angle,
               long double scaleX, long double scaleY);
void DxfBeginPolyline(uint8_t flags);
void DxfVertex(long double x, long double y, long double bulge);
void DxfSeqEnd();
// The EOF group (the caller closes or commits the file).
void DxfEndFile();
// CadLayerName := DxfLayerName(n).
void DxfSetLayer(int n);
// The layer of pen n: "0" for 0, CadLayerNames[n] for 1..5 (characters CAD programs refuse in a
// layer name replaced by "_"; an empty name gives the number), the number for the others.
std::string DxfLayerName(int n);

// True when an arc from start to end (degrees) is a full circle for DXF and CAD text.
bool IsFullCircle(long double startAngle, long double endAngle);

// DXF file device. The file is built in memory and written at the end; user block files inserted
// in the entities are copied into the BLOCKS section there, so every INSERT has its BLOCK.
class DxfBackEnd : public CadBackEnd {
 public:
  ~DxfBackEnd() override;
  void Open() override;
  void Close() override;
  void Abandon() override;
  void BeginDrawing(long double xmin, long double ymin, long double xmax,
                    long double ymax) override;
  void Tables() override;
  void BeginBlocks() override;
  bool BeginBlock(const std::string& name) override;
  void EndBlock() override;
  void EndSection() override;
  void BeginEntities() override;
  void Insert(const std::string& name, long double x, long double y, long double angle,
              long double scaleX, long double scaleY) override;
  bool InsertUserBlock(const std::string& name, const std::string& file, long double x,
                       long double y, long double angle, long double scaleX,
                       long double scaleY) override;
  void SetLayer(int pen) override;
  void Line(long double x1, long double y1, long double x2, long double y2) override;
  void Circle(long double x, long double y, long double r) override;
  void Arc(long double x, long double y, long double startAngle, long double endAngle,
           long double r) override;
  void Text(const std::string& s, long double x, long double y) override;
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4) override;
  bool NativePolylines() const override { return true; }
  void PolylineBegin(uint8_t flags) override;
  void Vertex(long double x, long double y, long double bulge) override;
  void PolylineEnd() override;

 protected:
  // Completes and writes the file; false (reported, AbortFlag set) when that failed.
  bool Finish();

 private:
  void Target();          // DxfOut := this file's text
  void CopyUserBlocks();  // BLOCK definitions of the user block files inserted
  CadOutputFile file_;
  size_t blocksEnd_ = std::string::npos;      // where the BLOCKS section's ENDSEC starts
  size_t entitiesStart_ = std::string::npos;  // where the ENTITIES section starts
  bool inBlocksSection_ = false;
  bool sawBlocksSection_ = false;
  bool inEntities_ = false;
  // User block files inserted: name as inserted and file.
  std::vector<std::pair<std::string, std::string>> userBlocks_;
};

// Plot device: the DXF file "gravura.dxf" in the folder for temporary files, then the plot program
// is started with the command line GravuraCommandLines[GravuraCommandIndex].
class PlotBackEnd : public DxfBackEnd {
 public:
  void Close() override;
};

// The command line split into a program and its arguments (blanks separate; double quotes group);
// no shell ever sees it.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace qern
