// State of the HP-GL picture reader and its start values.
#include "framework/hbildvar.h"

namespace qern {

PlotReaderState PlotState;

void ResetPlotState() { PlotState = PlotReaderState{}; }

}  // namespace qern
