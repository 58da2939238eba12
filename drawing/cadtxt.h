// CAD text writer: the tab-separated "CAD-Code" text, one line per primitive or structure call, for
// import into other programs; geometry only, no layers, colours or text styles.
#pragma once

#include <string>

#include "drawing/cadbackend.h"

namespace qern {

// Where the Txt... writers write (the output file's text).
extern std::string* TxtOut;

// A number: CadDecimals decimals, at least 3 characters, "." or "," by DecimalSeparatorMode.
std::string TxtReal(long double x);

void TxtMinMax(long double xmin, long double ymin, long double xmax, long double ymax);
void TxtTables();
void TxtBeginBlocks();
void TxtBlock(const std::string& name);
void TxtEndBlock();
void TxtBeginEntities();
void TxtLine(long double x1, long double y1, long double x2, long double y2);
void TxtCircle(long double x, long double y, long double r);
// A full turn is written as a CIRCLE line.
void TxtArc(long double x, long double y, long double startAngle, long double endAngle,
            long double r);
void TxtText(const std::string& s, long double x, long double y);
void TxtSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
              long double y3, long double x4, long double y4);
void TxtInsert(const std::string& name, long double x, long double y, long double angle,
               long double scaleX, long double scaleY);
void TxtEndFile();
void TxtSetLayer(int n);

// CAD text device: the file is built in memory and written complete at the end.
class CadTextBackEnd : public CadBackEnd {
 public:
  void Open() override;
  void Close() override;
  void Abandon() override;
  void BeginDrawing(long double xmin, long double ymin, long double xmax,
                    long double ymax) override;
  void Tables() override;
  void BeginBlocks() override;
  bool BeginBlock(const std::string& name) override;
  void EndBlock() override;
  void BeginEntities() override;
  void Insert(const std::string& name, long double x, long double y, long double angle,
              long double scaleX, long double scaleY) override;
  void SetLayer(int pen) override;
  void Line(long double x1, long double y1, long double x2, long double y2) override;
  void Circle(long double x, long double y, long double r) override;
  void Arc(long double x, long double y, long double startAngle, long double endAngle,
           long double r) override;
  void Text(const std::string& s, long double x, long double y) override;
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4) override;

 private:
  CadOutputFile file_;
};

}  // namespace qern
