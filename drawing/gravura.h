// Command lines of the external DXF plot program GRAVURA: the switches, the line built from the
// settings window's values, the dialog sequence that asks for the settings one by one (with a
// shell script for lines too long to pass), and the start of a stored line.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace qern {

// Output formats (switch /C) in the order of the window's and the dialog's choices.
constexpr std::array<const char*, 5> GravuraFormatCodes = {"HPL", "PS", "PLT", "PL2", "ART"};
constexpr int GravuraPostScript = 1;  // index of "PS"
// Interfaces (switch /D = index + 1).
constexpr int GravuraSerial = 0, GravuraParallel = 1, GravuraFile = 2;

// The PostScript fonts offered (35 entries, the last "other fonts").
extern const std::array<const char*, 35> GravuraPostScriptFonts;

// Where the plot program lives when nothing else is known (the counterpart of c:\gravura).
extern const char* const GravuraDefaultFolder;  // "/opt/gravura"

// The values of the settings window, texts as typed.
struct GravuraWindowValues {
  std::string ProgramPath;  // without extension
  int Format = 0;           // index into GravuraFormatCodes
  int Interface = GravuraParallel;
  std::string Com = "1", Lpt = "1";
  std::string OutputFolder;  // folder of the output file (file interface)
  std::string Scale = "1";
  bool Rotate = false;
  std::string XOffset = "0", YOffset = "0", TextWidth = "1";
  std::string PostScriptFont;
};

// The window's start values: program path, HPL, parallel, port 1, the folder for temporary files,
// scale 1, no offsets, text width 1.
GravuraWindowValues GravuraWindowStartValues();
// The start values for a stored line: its program as the program path when it exists here.
GravuraWindowValues GravuraWindowStartValues(const std::string& storedLine);
// The line the window starts with: the stored one, or the line of the start values when the stored
// line names a Windows program missing here (the configuration's start value), so that the window
// shows one program in its path and its line.
std::string GravuraWindowLine(const std::string& storedLine, const GravuraWindowValues& start);

// The command line of the window's values. The drawing handed to the program is always
// "gravura" in the folder for temporary files, where the plot device writes it.
std::string BuildGravuraCommandLine(const GravuraWindowValues& v);

// Asks for the settings one by one and builds line. mode 0 (from the CAD device dialog) plots
// the temporary drawing and puts a line of more than 60 characters into a shell script, which
// then becomes the line; mode 1 asks for a DXF file name or wildcard. Every cancel sets AbortFlag
// and leaves line unchanged.
void AskGravuraCommandLine(std::string& line, int mode);

// Writes line into a shell script (one command, its words quoted) so that "sh file" runs it.
// False when the file cannot be created.
bool WriteGravuraScript(const std::string& fileName, const std::string& line);

// The argument list of a stored line: its words (SplitCommandLine); a line naming a script
// (".BAT") is run by /bin/sh.
std::vector<std::string> GravuraArguments(const std::string& line);

// Starts the stored line detached and reports a failure with its message naming the program
// ("<program>: file not found", "<program>: Exec error n"). Returns the start code: above 31
// success, 2 not found, 0..31 a failure.
int StartGravura(const std::string& line);

}  // namespace qern
