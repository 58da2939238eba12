// Screen back end of the CAD output layer: primitives go to the drawing device (display list); block
// definitions are written as DXF text kept in memory for the output and replayed at inserts.
#pragma once

#include <memory>
#include <string>

#include "drawing/cadbackend.h"
#include "drawing/dxblock.h"
#include "drawing/dxfout.h"

namespace qern {

class ScreenBackEnd : public CadBackEnd {
 public:
  ~ScreenBackEnd() override;
  void Open() override;
  void Close() override;
  void Abandon() override;
  void BeginDrawing(long double xmin, long double ymin, long double xmax,
                    long double ymax) override;
  bool BeginBlock(const std::string& name) override;
  void EndBlock() override;
  void BeginEntities() override;
  void Insert(const std::string& name, long double x, long double y, long double angle,
              long double scaleX, long double scaleY) override;
  bool InsertUserBlock(const std::string& name, const std::string& file, long double x,
                       long double y, long double angle, long double scaleX,
                       long double scaleY) override;
  void SetLayer(int pen) override;
  void SetLineStyle(int style) override;
  void SetTextStyle(int font, long double angle, long double height, long double width) override;
  void Line(long double x1, long double y1, long double x2, long double y2) override;
  void LineInDouble(double x1, double y1, double x2, double y2) override;
  void Circle(long double x, long double y, long double r) override;
  void Arc(long double x, long double y, long double startAngle, long double endAngle,
           long double r) override;
  void Text(const std::string& s, long double x, long double y) override;
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4) override;

 private:
  bool InBlock() const { return !blockName_.empty(); }
  // Inside a block definition: the DXF writer is pointed at the block's text, and true.
  bool ToBlock() {
    if (!InBlock()) return false;
    DxfOut = {&blockText_, false, true};
    return true;
  }
  // Replays a block at a top-level insert, the user's block file or (file "") the block defined
  // here, and puts pen and text style back as they were.
  void Replay(const std::string& file, const std::string& block, long double x, long double y,
              long double angle, long double scaleX, long double scaleY);
  std::string blockName_;  // block being written
  std::unique_ptr<ScreenBlockMaker> maker_;  // its steps, made as its shapes come
  std::string blockText_;  // or its DXF text (when the block memory is off)
  // The last text style set (restored after a replay).
  struct TextStyleArgs {
    bool set = false;
    int font = 0;
    long double angle = 0, height = 0, width = 0;
  } style_;
};

// The text angle of the screen's text-style record: between 5 and 85 degrees corrected for the
// screen's aspect (ScreenWidth * 0.75 against ScreenHeight); CAD files keep the angle as given.
long double CadScreenTextAngle(long double angle);

}  // namespace qern
