// Help pictures: ShowHelpPicture draws one picture by name; HelpPictureMenu runs the catalogue of
// help pictures (qern.dbh in the PLT folder) in its small window: show a picture, extend, delete,
// change or insert catalogue lines, and send a picture raw to an HP-GL/2 printer.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/zorqgraf.h"

namespace qern {

// One catalogue line: the picture's file name without ".plt" and its description.
struct HelpPictureEntry {
  std::string File;
  std::string Description;
  friend bool operator==(const HelpPictureEntry&, const HelpPictureEntry&) = default;
};

// Pictures shown in the list at the most; the catalogue itself may hold more.
constexpr int MaxListedHelpPictures = 130;
// The five command entries after the pictures.
extern const std::vector<std::string> HelpPictureCommands;
// Ports the HP-GL/2 output offers (LPT1 .. LPT3).
constexpr int HighestHelpPicturePort = 3;

// PLT folder + lower-case ProgramName + ".dbh" (the shipped copy while the folder has none).
std::string HelpPictureCatalogueName();
// A picture file: PLT folder + name + ".plt" (the shipped copy while the folder has none).
std::string HelpPictureFileName(const std::string& name);

// Reads one field of a catalogue line from pos on (an optional "," skipped; a double quote
// expected, else "DBH file error"; up to the next double quote or the line end).
void ReadDbhField(const std::string& line, std::size_t& pos, std::string& s);
// "\"<file>\",\"<description>\"" (a double quote inside a field becomes "'").
std::string DbhLine(const std::string& file, const std::string& description);

// All catalogue lines; empty when there is no catalogue.
std::vector<HelpPictureEntry> ReadHelpPictureCatalogue();
// Writes the catalogue into the PLT folder through a working file there, renamed over the old one.
// False (message shown, AbortFlag set, old catalogue untouched) when that fails.
bool WriteHelpPictureCatalogue(const std::vector<HelpPictureEntry>& entries);
// Fills ChoiceTexts with the list entries (file padded to 8, ": ", description) of at most
// MaxListedHelpPictures pictures and the five commands; returns the number of pictures listed.
int FillHelpPictureList(const std::vector<HelpPictureEntry>& entries);

// Clears the drawing window, sets the world box of 160 x 120 mm and draws plotFile ("" draws
// nothing). Help entries show their pictures through it.
void DrawHelpPictureFile(const std::string& plotFile);
// A help picture drawn for a window of its own: its records, the mapping they were drawn with and
// the pixels of the drawing area that its world box takes (a few pixels round it for texts at its
// edge).
struct HelpPictureDrawing {
  std::vector<DisplayRecord> Records;
  GraphicState Mapping;
  int BoxLeft = 0, BoxTop = 0, BoxWidth = 1, BoxHeight = 1;
};
// Draws plotFile as DrawHelpPictureFile does, but the drawing window's list, mapping and pens are
// given back as they were: its picture stays. False, with the "nicht gefunden" message and
// AbortFlag set, when the file is missing; nothing has been drawn then.
bool DrawHelpPictureApart(const std::string& plotFile, HelpPictureDrawing& picture);
// The smallest capital height of the picture's texts in drawing-area pixels; 0 without texts.
double SmallestTextHeight(const HelpPictureDrawing& picture);

// PrintPreset := 1, then the picture name (lower-cased) + ".plt" from the PLT folder.
void ShowHelpPicture(const std::string& name);

// Control sequences around a picture for an HP-GL/2 laser printer: reset and HP-GL/2 mode
// before, back to the printer language and reset after.
std::string HpglPrefix();
std::string HpglSuffix();
// Sends the picture file raw to port n, with the control sequences when withPrefix; a failure is
// reported and sets AbortFlag.
void PrintHelpPicture(const std::string& plotFile, int port, bool withPrefix);

// The window of the catalogue. Shown with count entries (ChoiceTexts 1..count) and the entry
// selected (1-based); it answers with what the user did.
struct HelpPictureWindowAnswer {
  bool Finished = true;  // OK (or the window closed): the menu ends
  int Selected = 1;      // the entry selected in the list
  int Action = 0;        // 0 show, 1 extend, 2 insert, 3 delete, 9 change
};
using HelpPictureWindow = std::function<HelpPictureWindowAnswer(int count, int selected)>;
// Installed by the Qt program; without one the menu ends at once.
void SetHelpPictureWindow(HelpPictureWindow window);

// The catalogue menu: window, picture, catalogue commands, until OK.
void HelpPictureMenu();

}  // namespace qern
