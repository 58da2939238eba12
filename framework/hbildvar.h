// State of the HP-GL picture reader: pen position and state, selected pen, and the label
// settings (character size, direction, character set) of the picture being read.
#pragma once

namespace qern {

struct PlotReaderState {
  long double PlotPenX = 0, PlotPenY = 0;              // pen position, mm
  long double PlotCharWidth = 5.0L, PlotCharHeight = 5.0L;  // label size from SI, cm
  long double PlotDirRun = 1.0L, PlotDirRise = 0;       // label direction from DI
  long double PlotCharSet = 1.0L;                       // character set from CS
  bool PlotPenDown = false;
  int PlotPen = 0;                                      // selected pen (SP), 0..255
  bool PlotCommandEnd = false;  // the last parameter read ended its command
};

extern PlotReaderState PlotState;

// Start values; every picture starts from them.
void ResetPlotState();

}  // namespace qern
