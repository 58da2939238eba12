// Fuzz target: the HP-GL picture reader (commands, encoded polylines, labels) drawing into the
// display list, the replay of what it drew, and the help-picture catalogue's line reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/hbild.h"
#include "framework/progvar.h"
#include "framework/whbild.h"
#include "framework/zorqdraw.h"
#include "framework/zorqgraf.h"

using namespace qern;

namespace {
class NullCanvas : public Canvas {
 public:
  void SetPen(uint32_t, int, int) override {}
  void SetBrush(uint32_t) override {}
  void Line(int, int, int, int) override {}
  void Ellipse(int, int, int, int) override {}
  void Arc(int, int, int, int, double, double) override {}
  void Polygon(const std::array<int, 8>&) override {}
  void Text(int, int, const std::string&, const CanvasFont&) override {}
  void Frame(int, int, int, int) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TDrawDevice device;
  DrawDevice = &device;
  Settings.ScreenWidth = 640;
  Settings.ScreenHeight = 480;
  Flags.ErrorBoxesEnabled = false;  // "DBH file error" stays quiet
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  device.ClearDevice();
  device.Header(0, 0, 0, 160, 120);
  DrawPlotData(bytes);
  NullCanvas canvas;
  ReplayDisplayList(DisplayList, &canvas);
  DisplayList.clear();

  const std::string text(bytes);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    std::size_t pos = 0;
    std::string file, description;
    ReadDbhField(line, pos, file);
    ReadDbhField(line, pos, description);
    start = end + 1;
  }
  return 0;
}
