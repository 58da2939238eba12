// What the configuration window computes without a window: its fixed texts, the corrections
// applied when its values are taken into the settings, and the presets of its small buttons.
#pragma once

#include <array>
#include <string>

#include "framework/progvar.h"

namespace qern {

// The 16 colour names offered when a layer colour is picked (colour number = position + 1).
extern const std::array<const char*, 16> ColorNames;
// Row heads of the CAD layer grid (layers 1..5).
extern const std::array<const char*, 5> LayerRowHeads;
// The four separator modes of listings.
extern const std::array<const char*, 4> SeparatorModeTexts;
// The title-block forms (TitleBlockKind 0..3), margins (DrawingMargin 0..1), index styles.
extern const std::array<const char*, 4> TitleBlockKindTexts;
extern const std::array<const char*, 2> DrawingMarginTexts;
extern const std::array<const char*, 4> IndexStyleTexts;
// The result drawings (ResultGraphicKind 0..6).
extern const std::array<const char*, 7> ResultGraphicTexts;

// The preset of one CAD layer row button: name, colour and width texts for grid row 1..5.
struct LayerRowPreset {
  const char* Name;
  const char* Color;
  const char* Width;
};
LayerRowPreset LayerButtonPreset(int row);

// ScreenWidth/ScreenHeight from the window's field: the number - 1, clamped to 0..5000; a result
// of 0 gives fallback (the largest drawing area of the screen).
int ScreenSizeFromField(const std::string& text, int fallback);

// Corrections of taken values: zero zoom and text factors become 1, a dimension factor below 0.01
// becomes 1, zero dialog and font scales become 100.
void CorrectTakenFactors(ProgramSettings& s);
// The listing window's rectangle: left outside 0..1000 gives 10, top outside 0..450 gives 40,
// width outside 50..1000 gives 700, a height below 50 or above screenHeight gives screenHeight - 20.
void CorrectTextWindowRect(std::array<int, 4>& rect, int screenHeight);
// The text-window button: left 10, top 40, width 70 x the print font size when the screen width
// is at least 641 (else 620; 700 when that gives 0), height screenHeight - 20.
std::array<int, 4> TextWindowPreset(int screenWidth, int screenHeight, int printFontSize);

// Width and height at 4:3 within the screen width: from a width (Button_x) or a height (Button_y).
void FitWidthAt4to3(int& width, int& height, int screenWidth);
void FitHeightAt4to3(int& width, int& height, int screenWidth);

// The dialog scale in percent as the configuration reader computes it without a file.
int DialogScaleFromScreen(int logPixelsY, int windowHeight, int clientHeight);

long double DegreesToRadians(long double deg);
long double RadiansToDegrees(long double rad);

}  // namespace qern
