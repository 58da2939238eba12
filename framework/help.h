// Numbered help texts: up to five lines per entry, read from the help files in the PLT folder
// (zorquan.hlp below 4000, qern.hlp from 4000 on), shown as a message box and/or a help picture.
#pragma once

#include <array>
#include <functional>
#include <string>

namespace qern {

constexpr int HelpLineCount = 5;
using HelpLines = std::array<std::string, HelpLineCount>;

// PLT folder + "zorquan.hlp" for numbers below 4000, + lower-case ProgramName + ".hlp" from 4000 on.
std::string HelpFileName(int number);

// number := the value of the line's first four characters (-1 when they are not a number);
// picture := the text after the first ":" (blanks trimmed), "NULL" when there is none.
void ParseHelpHeader(const std::string& line, int& number, std::string& picture);

// Reads entry number from its help file. Returns false when the file cannot be opened (lines[0]
// then holds the "nicht gefunden" text) or the entry is missing (lines[0] holds NoHelpText);
// picture is "null" in both cases.
bool ReadHelpEntry(int number, HelpLines& lines, std::string& picture);

// Shows entry number (0: Session.HelpNumber); text is not read. mode 0 text and picture,
// 1 text only, 2 picture only. Always ends with AbortFlag cleared.
void ShowHelpEntry(int number, const std::string& text, int mode);
// The display part: the picture in the drawing window (modes 0, 2), then a message box captioned
// "HILFETEXT Nr.<number>" (modes 0, 1). An entry without a picture asked for in mode 2 shows
// NoHelpPictureText in that box instead and leaves the drawing window as it is.
void DisplayHelpEntry(const HelpLines& lines, const std::string& picture, int mode, int number);

// The entry as one string: the five lines joined with blanks and " (<number>)" at the end.
void GetHelpText(int number, std::string& s);
std::string GetHelpText(int number);
// The same text, used as the hint of a control.
void GetHelpHint(int number, std::string& s);
// "Hilfetext Nr <number>: keine Hilfe vorhanden."
void NoHelpText(int number, std::string& s);
inline constexpr const char* NoHelpPictureText = "Zu diesem Eintrag gibt es kein Hilfebild.";
void SetHelpNumber(int n);  // Session.HelpNumber := n

// Shows a help picture in place of the drawing window's picture (DrawHelpPictureFile); a test may
// install a handler of its own. plotFile is "" for an entry without a picture.
using HelpPictureHandler = std::function<void(const std::string& plotFile)>;
void SetHelpPictureHandler(HelpPictureHandler handler);

// Connects the help buttons of the standard dialogs to ShowHelpEntry; the program calls it once
// at start.
void InstallHelpViewer();

}  // namespace qern
