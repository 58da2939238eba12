// Print variables of the drawing printout: the scales and origin the print window last applied and
// the preset record last chosen from the preset table. The saved user print settings
// (Screendump..., PrintOrientation) live in ProgramSettings.
#pragma once

#include <cstdint>

namespace qern {

struct PrintVariables {
  double PrintScaleX = 1.0, PrintScaleY = 1.0;
  int32_t PrintOffsetX = 0, PrintOffsetY = 0;  // millimetres on an A4 width
  int16_t PresetRecord = 0;                    // 0: none chosen yet
};

extern PrintVariables PrintVars;

// Start values.
void InitPrintVariables();

}  // namespace qern
