// GRAVURA command lines: switches, the window's builder, the dialog sequence, the script for
// long lines and the start through the process layer.
#include "drawing/gravura.h"

#include "drawing/dxfout.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "platform/process.h"
#include "platform/workfile.h"

namespace qern {

const std::array<const char*, 35> GravuraPostScriptFonts = {
    "Times-Roman", "Times-Italic", "Times-Bold", "Times-BoldItalic", "Helvetica",
    "Helvetica-Oblique", "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Narrow",
    "Helvetica-Narrow-Oblique", "Helvetica-Narrow-Bold", "Helvetica-Narrow-BoldOblique", "Courier",
    "Courier-Oblique", "Courier-Bold", "Courier-BoldOblique", "Palatino-Roman", "Palatino-Italic",
    "Palatino-Bold", "Palatino-BoldItalic", "AvantGarde-Book", "AvantGarde-Demi",
    "AvantGarde-BookOblique", "AvantGarde-DemiOblique", "Bookman-Light", "Bookman-Demi",
    "Bookman-LightItalic", "Bookman-DemiItalic", "NewCenturySchlbk-Roman", "NewCenturySchlbk-Bold",
    "NewCenturySchlbk-Italic", "NewCenturySchlbk-BoldItalic", "ZapfChancery-MediumItalic", "Symbol",
    "other fonts"};

const char* const GravuraDefaultFolder = "/opt/gravura";

namespace {

bool IsBlank(const std::string& s) { return TrimBlanks(s).empty(); }

std::string ShellQuoted(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool EndsWithScript(const std::string& word) {
  return word.size() > 4 && UpperStr(word.substr(word.size() - 4)) == ".BAT";
}

void SetChoices(std::initializer_list<const char*> items) {
  int i = 0;
  for (const char* item : items) Session.ChoiceTexts[i++] = item;
}

}  // namespace

GravuraWindowValues GravuraWindowStartValues() {
  GravuraWindowValues v;
  v.ProgramPath = std::string(GravuraDefaultFolder) + "/wgravura";
  v.OutputFolder = Settings.TempFolder;
  return v;
}

GravuraWindowValues GravuraWindowStartValues(const std::string& storedLine) {
  GravuraWindowValues v = GravuraWindowStartValues();
  const std::vector<std::string> words = SplitCommandLine(storedLine);
  if (!words.empty() && !EndsWithScript(words[0]) && ProgramExists(words[0]))
    v.ProgramPath = words[0];
  return v;
}

std::string GravuraWindowLine(const std::string& storedLine, const GravuraWindowValues& start) {
  const std::vector<std::string> words = SplitCommandLine(storedLine);
  if (words.empty() || (NamesWindowsProgram(words[0]) && !ProgramExists(words[0])))
    return BuildGravuraCommandLine(start);
  return storedLine;
}

std::string BuildGravuraCommandLine(const GravuraWindowValues& v) {
  auto text = [](const std::string& s) { return TrimBlanks(s); };
  const int format = v.Format >= 0 && v.Format < 5 ? v.Format : 0;
  std::string line = text(v.ProgramPath) + " " + AddBackslash(Settings.TempFolder) + "gravura";
  line += std::string(" /C") + GravuraFormatCodes[format];
  if (v.Interface != GravuraParallel) line += " /D" + IntStr(v.Interface + 1);
  if (v.Interface == GravuraSerial && StrToReal(v.Com) != 1) line += " /P" + text(v.Com);
  if (v.Interface == GravuraParallel && StrToReal(v.Lpt) != 1) line += " /P" + text(v.Lpt);
  if (v.Interface == GravuraFile && !IsBlank(v.OutputFolder))
    line += " /F" + AddBackslash(text(v.OutputFolder)) + "gravura";
  if (const long double scale = StrToReal(v.Scale); scale != 1)
    line += scale == 0 ? std::string(" /M*") : " /M" + text(v.Scale);
  if (StrToReal(v.XOffset) != 0) line += " /X" + text(v.XOffset);
  if (StrToReal(v.YOffset) != 0) line += " /Y" + text(v.YOffset);
  if (StrToReal(v.TextWidth) != 1) line += " /B" + text(v.TextWidth);
  if (v.Rotate) line += " /R";
  if (format == GravuraPostScript) line += " /T" + text(v.PostScriptFont);
  return line;
}

bool WriteGravuraScript(const std::string& fileName, const std::string& line) {
  std::string command;
  for (const std::string& w : SplitCommandLine(line)) command += (command.empty() ? "" : " ") + ShellQuoted(w);
  // Through a working file: a link planted under the script's name is replaced, never written through.
  return ReplaceFileContents(fileName, command + "\n");
}

void AskGravuraCommandLine(std::string& line, int mode) {
  Flags.AbortFlag = false;
  std::string dxf = mode == 0 ? AddBackslash(Settings.TempFolder) + "gravura" : "*.dxf";
  const std::string program = line.substr(0, line.find(' '));
  const size_t slash = program.rfind('/');
  std::string folder = slash != std::string::npos ? program.substr(0, slash) : GravuraDefaultFolder;
  if (folder.empty()) folder = "/";
  int format = 1, interface = 2;
  int32_t port = 1;
  long double scale = 1, xOffset = 0, yOffset = 0, textWidth = 1;
  bool rotate = false;
  std::string outputName, font;
  std::string script = AddBackslash(GravuraDefaultFolder) + Ident.ProgramName;

  SetChoices({"WGRAVURA.EXE (Windows)", "GRAVURA.EXE (MS-DOS)"});
  int programKind = 2;
  SelectChoice("GRAVURA/WGRAVURA", 2, programKind);
  if (Flags.AbortFlag) return;
  // Names of programs are case-sensitive here: the line calls the file that was found.
  const std::string executable = programKind == 1 ? "wgravura" : "gravura";
  for (;;) {
    SetHelpContext(2080);
    InputString("Programmverzeichnis von " + executable, 40, folder);
    if (Flags.AbortFlag) return;
    if (FileCanOpen(AddBackslash(folder) + executable)) break;
    CheckFileAccess(AddBackslash(folder) + executable);
    Flags.AbortFlag = false;
  }
  SetHelpContext(2090);
  SetChoices({"HP-GL Laserjet (HPL)", "Postscript  (PS)", "HP-GL (PLT)", "HP-GL/2  (PL2)",
              "Aristo  (ART)"});
  SelectChoice("Ausgabeformat", 5, format);
  if (Flags.AbortFlag) return;
  if (mode == 1) {
    SetHelpContext(2100);
    InputString("Dateiname oder Wildcard", 40, dxf);
    if (Flags.AbortFlag) return;
  }
  SetHelpContext(2110);
  SetChoices({"seriell", "parallel", "Datei"});
  SelectChoice("Ausgabeschnittstelle", 3, interface);
  if (Flags.AbortFlag) return;
  if (interface == GravuraSerial + 1 || interface == GravuraParallel + 1) {
    SetHelpContext(2120);
    InputNumberInRange(interface == 1 ? "COM-Port" : "LPT-Port", port, 1, 4);
  } else {
    SetHelpContext(2130);
    InputString("Name der Ausgabedatei", 30, outputName);
  }
  if (Flags.AbortFlag) return;
  SetHelpContext(2140);
  InputRealInRange("Maßstab (0=anpassen)", scale, 0, 1000);
  if (Flags.AbortFlag) return;
  SetHelpContext(2145);
  AskYesNo("Plot um 90 Grad drehen ?", rotate);
  if (Flags.AbortFlag) return;
  SetHelpContext(2150);
  InputRealInRange("Nullpunktverschiebung in x-Richtung", xOffset, -1e8L, 1e8L);
  if (Flags.AbortFlag) return;
  InputRealInRange("Nullpunktverschiebung in y-Richtung", yOffset, -1e8L, 1e8L);
  if (Flags.AbortFlag) return;
  SetHelpContext(2160);
  InputRealInRange("Textbreitenfaktor", textWidth, 0.1L, 10);
  if (Flags.AbortFlag) return;
  const bool postScript = format == GravuraPostScript + 1;
  if (postScript) {
    SetHelpContext(2280);
    InputString("Postscript-Zeichensatz", 28, font);
    if (Flags.AbortFlag) return;
  }

  std::string result = AddBackslash(folder) + executable + " " + dxf;
  result += std::string(" /C") + GravuraFormatCodes[format - 1];
  if (interface != GravuraParallel + 1) result += " /D" + IntStr(interface);
  if (interface != GravuraFile + 1 && port != 1) result += " /P" + IntStr(port);
  if (interface == GravuraFile + 1 && !WithoutBlanks(outputName).empty())
    result += " /F" + WithoutBlanks(outputName);
  if (scale != 1) result += scale == 0 ? std::string(" /M*") : " /M" + FloatStr(scale);
  if (xOffset != 0) result += " /X" + FloatStr(xOffset);
  if (rotate) result += " /R";
  if (yOffset != 0) result += " /Y" + FloatStr(yOffset);
  if (textWidth != 1) result += " /B" + FloatStr(textWidth);
  if (postScript) result += " /T" + font;

  if (mode == 0 && Utf8Length(result) > 60) {
    InfoMessage("Kommandozeile zu lang, Es wird eine Batch-Datei erzeugt.");
    for (;;) {
      Flags.AbortFlag = false;
      SetHelpContext(2170);
      InputString("Name der Batch-Datei (ohne .bat)", 20, script);
      if (Flags.AbortFlag) return;
      // Only the file's own name counts: folders such as ~/.gravura hold points too.
      if (FileNamePart(script).find('.') != std::string::npos || TrimBlanks(script).empty())
        continue;
      if (WriteGravuraScript(script + ".BAT", result)) break;
      ErrorMessage("Datei " + script + ".BAT " + "kann nicht angelegt werden");
    }
    result = script + ".BAT";
  }
  Flags.AbortFlag = false;
  line = result;
}

std::vector<std::string> GravuraArguments(const std::string& line) {
  std::vector<std::string> args = SplitCommandLine(line);
  if (!args.empty() && EndsWithScript(args[0])) args.insert(args.begin(), "/bin/sh");
  return args;
}

int StartGravura(const std::string& line) {
  const std::vector<std::string> args = GravuraArguments(line);
  int code = 2;
  if (!args.empty()) {
    switch (StartDetached(args)) {
      case StartResult::Started: code = 33; break;
      case StartResult::NotFound: code = 2; break;
      case StartResult::Failed: code = 11; break;
    }
  }
  // The program the line names (a script's name rather than the shell's).
  std::string program = TrimBlanks(line);
  if (!args.empty()) program = args.size() > 1 && args[0] == "/bin/sh" ? args[1] : args[0];
  if (code == 0)
    ErrorMessage("out of memory !");
  else if (code == 2 || code == 3)
    ErrorMessage("Programm " + program + " " + "nicht gefunden oder nicht ausführbar" + " !");
  else if (code <= 31)
    ErrorMessage(program + ": Exec error " + IntStr(code));
  SetArrowCursor();
  return code;
}

}  // namespace qern
