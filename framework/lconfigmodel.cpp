// Fixed texts, corrections and button presets of the configuration window.
#include "framework/lconfigmodel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/utilstr.h"

namespace qern {

const std::array<const char*, 16> ColorNames = {
    "rot",        "gelb",          "grün",        "cyan",          "blau",
    "magenta",    "weiß",          "dunkel blau", "dunkel grün",   "dunkel cyan",
    "dunkel rot", "dunkel magenta", "braun",      "hell grau",     "dunkel grau",
    "schwarz"};

const std::array<const char*, 5> LayerRowHeads = {
    "Ausgezogene  Linie   0.50 mm", "Ausgezogene  Linie   0.35 mm",
    "Ausgezogene  Linie   0.25 mm", "Gestrichelte Linie   0.25 mm",
    "Mittellinie          0.25 mm"};

const std::array<const char*, 4> SeparatorModeTexts = {
    "Trennlinien  ---- ====  ****", "Trennlinien  ──── ════  ****", "Leerzeichen und Leerzeilen",
    "komprimiert, ohne Trennzeilen"};

const std::array<const char*, 4> TitleBlockKindTexts = {"DIN 6771 min.", "ISO 7200 Fig.1",
                                                        "ISO 7200 Fig.2", "DIN 6771"};
const std::array<const char*, 2> DrawingMarginTexts = {"5 mm", "10 mm"};
const std::array<const char*, 4> IndexStyleTexts = {"a,b,c...", "1,2,3...", "A,B,C...", "....."};
const std::array<const char*, 7> ResultGraphicTexts = {
    "egal", "Quick 1", "Quick 3", "Fertigungszeichnung", "Diagramm", "Zeichnung", "Quick 4"};

LayerRowPreset LayerButtonPreset(int row) {
  static const LayerRowPreset presets[5] = {
      {"5", "1", "3"}, {"4", "3", "2"}, {"3", "2", "1"}, {"2", "2", "1"}, {"1", "2", "1"}};
  return presets[std::clamp(row, 1, 5) - 1];
}

int ScreenSizeFromField(const std::string& text, int fallback) {
  const int n = std::clamp(StrToInteger(TrimBlanks(text)) - 1, 0, 5000);
  return n == 0 ? fallback : n;
}

void CorrectTakenFactors(ProgramSettings& s) {
  if (s.ZoomFactor == 0) s.ZoomFactor = 1.0L;
  if (s.GraphicTextWidthFactor == 0) s.GraphicTextWidthFactor = 1.0L;
  if (s.GraphicTextHeightFactor == 0) s.GraphicTextHeightFactor = 1.0L;
  if (s.DimensionSizeFactor < 0.01L) s.DimensionSizeFactor = 1.0L;
  if (s.FormScalePercent == 0) s.FormScalePercent = 100;
  if (s.FontScalePercent == 0) s.FontScalePercent = 100;
}

void CorrectTextWindowRect(std::array<int, 4>& rect, int screenHeight) {
  if (rect[0] < 0 || rect[0] > 1000) rect[0] = 10;
  if (rect[1] < 0 || rect[1] > 450) rect[1] = 40;
  if (rect[2] < 50 || rect[2] > 1000) rect[2] = 700;
  if (rect[3] < 50 || rect[3] > screenHeight) rect[3] = screenHeight - 20;
}

std::array<int, 4> TextWindowPreset(int screenWidth, int screenHeight, int printFontSize) {
  int width = screenWidth >= 641 ? 70 * printFontSize : 620;
  if (width == 0) width = 700;
  return {10, 40, width, screenHeight - 20};
}

void FitWidthAt4to3(int& width, int& height, int screenWidth) {
  width = std::min(width, screenWidth);
  height = width * 3 / 4;
}

void FitHeightAt4to3(int& width, int& height, int screenWidth) {
  width = std::min(height * 4 / 3, screenWidth);
  height = width * 3 / 4;
}

int DialogScaleFromScreen(int logPixelsY, int windowHeight, int clientHeight) {
  double frame = 1.0;
  if (windowHeight > 0 && clientHeight > 0)
    frame = static_cast<double>(windowHeight) / (clientHeight + 46);
  return static_cast<int>(std::lround(logPixelsY / 96.0 * (frame + 0.009) * 100.0));
}

long double DegreesToRadians(long double deg) { return deg * std::numbers::pi_v<long double> / 180; }
long double RadiansToDegrees(long double rad) { return rad * 180 / std::numbers::pi_v<long double>; }

}  // namespace qern
