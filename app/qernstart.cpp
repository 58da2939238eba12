// Program start and command line: what happens between process start and the main window standing
// ready, and the batch runs (listing, drawing) that end before any window exists.
#include "app/qernstart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <stdexcept>

#include "design/aendvar.h"
#include "design/qernaus1.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "drawing/cadbackend.h"
#include "drawing/qernzeich.h"
#include "framework/configio.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "framework/whbild.h"
#include "framework/zorqdraw.h"
#include "platform/dialogservice.h"
#include "platform/machine.h"
#include "platform/workfile.h"

namespace qern {

namespace {

TDrawDevice* ownDrawDevice = nullptr;

bool Exists(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

// Where a batch run makes its working folder, in this order.
std::vector<std::string> WorkFolderBases(const std::string& configured) {
  const char* tmp = std::getenv("TMPDIR");
  return {std::string(tmp ? tmp : ""), std::string("/tmp"), configured, std::string(".")};
}

// A folder of this run's own for the working files of a batch run, so that two runs in one folder
// never share one; removed with everything in it at the end of the run (or by the termination
// clean-up). A TMPDIR that cannot be used falls back to /tmp, then to the configured and the
// current folder, so that no working file is ever left loose beside the user's files.
class PrivateWorkFolder {
 public:
  PrivateWorkFolder() : saved_(Settings.TempFolder) {
    for (const std::string& base : WorkFolderBases(saved_)) {
      if (base.empty()) continue;
      if (folder_.Create(base, "wqern")) {
        Settings.TempFolder = AddBackslash(folder_.Path());
        return;
      }
    }
  }
  ~PrivateWorkFolder() { Settings.TempFolder = saved_; }
  PrivateWorkFolder(const PrivateWorkFolder&) = delete;
  PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;

 private:
  std::string saved_;
  PrivateFolder folder_;
};

// The messages of a fatal calculation, for a batch run that therefore writes nothing.
void ReportFatalDesign(const std::string& fileName) {
  std::vector<std::string> lines;
  for (int i = 0; i < Errors.ErrorCount; ++i) lines.push_back(Errors.ErrorList[i]);
  Dialogs().ShowLines(fileName + ": " + "Berechnung mit fatalem Fehler, keine Ausgabe", lines);
}

// The output of a batch run must not replace its own input.
bool OutputIsInput(const std::string& input, const std::string& output) {
  if (!SameFile(input, output)) return false;
  ErrorBox("Ausgabedatei " + output + " ist die Eingabedatei; nichts geschrieben !");
  return true;
}

void ShowUsage() {
  const std::vector<std::string> lines = UsageLines();
  for (size_t i = 0; i < lines.size(); ++i) Session.ChoiceTexts[i] = lines[i];
  ShowChoiceList();
}

// Runs a batch step that tells in doing what it is at; memory that runs out (or another exception)
// ends it with the message and status 2. The step's working folder and working files go with the
// unwinding.
template <typename Step>
int GuardedBatchStep(const CommandLineChoice& c, Step step) {
  std::string doing = "beim Lesen von " + DesignFileName(c.FileName);
  try {
    return step(doing);
  } catch (...) {
    ReportStepException(doing);
    return ExitOutputFailed;
  }
}

// Listing mode: read the named file, write its result listing as <base name>.txt.
int ListingRun(const CommandLineChoice& c, std::string& doing) {
  ReadDataFile(Session.CurrentFileName);
  if (Flags.AbortFlag) return ExitReadError;
  const std::string input = DesignFileName(c.FileName);
  Session.CurrentFileName = ExtractBaseName(c.FileName);
  const std::string output = Session.CurrentFileName + ".txt";
  doing = "beim Schreiben von " + output;
  if (OutputIsInput(input, output)) return ExitOutputFailed;
  // A listing the user made read-only is kept, as Save keeps such a design.
  CheckOutputNotReadOnly(output);
  if (Flags.AbortFlag) return ExitOutputFailed;
  if (Flags.FatalError) {
    ReportFatalDesign(c.FileName);
    return ExitOutputFailed;
  }

  // The listing goes straight to its file: no working folder is needed.
  // A link of that name (one that leads nowhere yet, too) is the user's and stays.
  struct stat st {};
  const bool existed = ::lstat(output.c_str(), &st) == 0;
  Settings.AskTextDevice = false;
  Settings.DefaultTextDevice = 9;
  Flags.AbortFlag = false;
  ListResults(0);
  // A write error has been reported by the listing with the file and the reason.
  if (Flags.AbortFlag || !FileCanOpen(output)) {
    if (!existed) std::remove(output.c_str());
    if (!Flags.AbortFlag) ErrorBox(output + " konnte nicht geschrieben werden !");
    return ExitOutputFailed;
  }
  return ExitOk;
}

// The CAD file's extension of a batch device; "" for a device that writes no file of its own.
std::string CadDeviceExtension(int device) {
  switch (device) {
    case 1: return "dxf";
    case 2: return "igs";
    case 5: return "txt";
    default: return "";
  }
}

// Drawing mode: read the named file, write drawing j with CAD device i.
int DrawingRun(const CommandLineChoice& c, std::string& doing) {
  ReadDataFile(Session.CurrentFileName);
  if (Flags.AbortFlag) return ExitReadError;
  const std::string input = DesignFileName(c.FileName);
  Session.CurrentFileName = ExtractBaseName(c.FileName);
  const std::string ext = CadDeviceExtension(c.CadDevice);
  doing = "beim Zeichnen" + (ext.empty() ? std::string() : " von " + Session.CurrentFileName + "." + ext);
  if (!ext.empty() && DrawingKindForIndex(c.CadIndex) != 0 &&
      OutputIsInput(input, Session.CurrentFileName + "." + ext))
    return ExitOutputFailed;
  if (!ext.empty() && DrawingKindForIndex(c.CadIndex) != 0) {
    CheckOutputNotReadOnly(Session.CurrentFileName + "." + ext);
    if (Flags.AbortFlag) return ExitOutputFailed;
  }

  // The fatal messages name the file as the listing mode does.
  if (Flags.FatalError && DrawingKindForIndex(c.CadIndex) != 0) {
    ReportFatalDesign(c.FileName);
    return ExitOutputFailed;
  }

  PrivateWorkFolder work;
  Flags.BatchCadOutput = true;
  const int status = CadBatchOutput(c.CadDevice, c.CadIndex);
  Flags.BatchCadOutput = false;
  return status;
}

// The design named on the command line takes its name as Datei -> Öffnen gives it: the file's
// folder (absolute, so that it stays right) and its name without the extension. Every place that
// shows or saves the design then builds the same file name from them.
void TakeDesignFileName(const std::string& given) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(given, ec);
  const std::string name = ec ? given : full.lexically_normal().string();
  Session.CurrentFileFolder = ExtractFolder(name);
  Session.CurrentFileName = FileNameWithoutExt(name);
}

// Window start with the design file named on the command line.
std::optional<int> StartWithFile(const CommandLineChoice& c) {
  if (c.MissingExtension) {
    ErrorMessage("Erweiterung ." + Ident.DataExtension + " " + "muß mit angegeben werden");
    return ExitOk;
  }
  Flags.ErrorBoxesEnabled = false;
  int readError = 0;
  ReadDataFile(Session.CurrentFileName, &readError);
  const bool read = !Flags.AbortFlag;
  // The default drawing follows the start calculation (the main window draws it): the record
  // read here holds no results yet.
  Flags.StartedWithFile = true;
  Flags.ErrorBoxesEnabled = true;
  if (!read) {
    Flags.AbortFlag = false;
    const std::string fullName = DesignFileName(Session.CurrentFileName);
    if (Exists(fullName)) {
      // A file that is there but cannot be read is the user's: it is never taken as the name of
      // a new design, or a later save would overwrite it with the default data.
      ErrorMessage(DesignNotReadText(fullName, readError) + "; das Programm startet mit den Standarddaten !");
      Flags.AbortFlag = false;
      Flags.StartedWithFile = false;
      Session.CurrentFileName.clear();
      WindowStart(false);
      return std::nullopt;
    }
    // A new file: the name is checked as an output name; the next save creates it.
    CheckOutputFileName(fullName);
    if (Flags.AbortFlag) return ExitOk;
  }
  TakeDesignFileName(Session.CurrentFileName);
  WindowStart(true);
  return std::nullopt;
}

// Reads the default design: the default data folder first, else the one shipped with the program.
void ReadDefaultDesign() {
  const std::string own = Session.CurrentFileFolder + "null." + Ident.DataExtension;
  if (FileCanOpen(own)) {
    ReadDataFile("null");
    return;
  }
  const std::string shipped = AddBackslash(ShippedDataFolder()) + "null." + Ident.DataExtension;
  if (FileCanOpen(shipped)) ReadDataFile(shipped);
}

}  // namespace

CommandLineChoice ParseCommandLine(const std::vector<std::string>& params) {
  CommandLineChoice c;
  if (params.empty()) return c;
  c.FileName = params[0];
  if (c.FileName == "?" || c.FileName == "/?") {
    c.Mode = StartMode::Usage;
    return c;
  }
  c.Switch = params.size() > 1 ? params[1] : "";
  const std::string& p2 = c.Switch;
  const std::string head = UpperStr(p2.substr(0, 4));
  if (p2 == "/E" || p2 == "/e") {
    c.Mode = StartMode::WindowUnnamed;
  } else if (p2 == "/I" || p2 == "/i" || p2 == "-I" || p2 == "-i") {
    c.Mode = StartMode::Listing;
  } else if (head == "/CAD" || head == "-CAD") {
    c.Mode = StartMode::Drawing;
    c.CadDevice = StrToInteger(p2.size() > 4 ? p2.substr(4, 1) : "");
    c.CadIndex = StrToInteger(p2.size() > 6 ? p2.substr(6) : "");
  } else if (p2 == "/G") {
    c.Mode = StartMode::WindowUnnamed;
  } else {
    c.Mode = StartMode::WindowWithFile;
    c.MissingExtension = c.FileName.find('.') == std::string::npos;
  }
  return c;
}

bool IsBatchMode(StartMode mode) {
  return mode == StartMode::Usage || mode == StartMode::Listing || mode == StartMode::Drawing;
}

bool AsksForCadDevice(const CommandLineChoice& c) {
  return c.Mode == StartMode::Drawing && c.CadDevice == 0 && DrawingKindForIndex(c.CadIndex) != 0;
}

void SetProgramIdentity() {
  Ident.VersionText = "1.0";
  Ident.ProductName = "QERN";
  Ident.ProgramName = "qern";
  Ident.DataExtension = "qrk";
  Ident.Banner = DesignBanner();
}

void PrepareStart(const ScreenMetrics& screen) {
  if (!DrawDevice) {
    ownDrawDevice = new TDrawDevice;
    DrawDevice = ownDrawDevice;
  }
  SetProgramIdentity();
  ReadConfiguration(screen);
  Flags.AbortFlag = false;
  RemoveStaleWorkFolders();
  InitDrawingInfo();  // its dates follow the configured date format
  ReadSessionFile();
  Flags.AbortFlag = false;
}

void RemoveStaleWorkFolders() {
  // Not the current folder: that is the user's, whatever names it holds.
  std::vector<std::string> bases = WorkFolderBases(Settings.TempFolder);
  bases.pop_back();
  RemoveStalePrivateFolders(bases, {"wqern", "qern-blocks"});
}

void ReleaseDrawDevice() {
  if (ownDrawDevice && DrawDevice == ownDrawDevice) DrawDevice = nullptr;
  delete ownDrawDevice;
  ownDrawDevice = nullptr;
}

std::optional<int> ProgramStart() {
  SetProgramIdentity();
  Flags.AbortFlag = false;
  Flags.ErrorBoxesEnabled = true;
  CheckConfiguredFolders();
  Session.CurrentFileFolder.clear();

  const CommandLineChoice c = ParseCommandLine(ProgramParams());
  if (c.Mode == StartMode::Window) {
    WindowStart(false);
    return std::nullopt;
  }
  if (c.Mode == StartMode::Usage) {
    ShowUsage();
    return ExitOk;
  }
  Session.CurrentFileName = c.FileName;
  Session.CurrentFileFolder.clear();
  switch (c.Mode) {
    case StartMode::WindowUnnamed:
      WindowStart(false);
      return std::nullopt;
    case StartMode::Listing:
      return GuardedBatchStep(c, [&c](std::string& doing) { return ListingRun(c, doing); });
    case StartMode::Drawing:
      return GuardedBatchStep(c, [&c](std::string& doing) { return DrawingRun(c, doing); });
    default:
      return StartWithFile(c);
  }
}

void WindowStart(bool enterAtCalculation) {
  if (!enterAtCalculation) {
    if (Flags.StartedWithFile) {
      Session.CurrentFileFolder.clear();
    } else {
      SetWaitCursor();
      Session.CurrentFileFolder = AddBackslash(Settings.DefaultDataFolder);
      if (DrawDevice) {
        DrawDevice->SetWindow(true, true, 0.1L, 0.05L, 0.95L, 0.95L, 0, 0, 36.9L, 32);
        DrawDevice->ShowLogo();
      }
      ReadDefaultDesign();
      // Unnamed in every case: a name from "/E" or "/G" must not become the target of Save.
      Session.CurrentFileName.clear();
    }
  }
  Flags.AbortFlag = false;
  CalculateSerration();
  Flags.AbortFlag = false;
  Flags.DesignModified = false;
  // The start picture replaces the logo (and the drawing of a file named on the command line).
  if (DrawDevice && FileCanOpen(HelpPictureFileName("start"))) {
    DrawDevice->ClearDevice();
    ShowHelpPicture("start");
  }
}

int DrawingKindForIndex(int index) {
  if (index >= 1 && index <= 7) return index;
  if (index == 13) return 10;
  return 0;
}

int CadBatchOutput(int device, int index) {
  const int kind = DrawingKindForIndex(index);
  if (kind == 0) return ExitOk;
  if (Flags.FatalError) {
    ReportFatalDesign(Session.CurrentFileName);
    return ExitOutputFailed;
  }
  Flags.AbortFlag = false;
  DrawMenu(device, kind);
  // A cancelled or failed output is no success: the drawing file is not there.
  return Flags.AbortFlag ? ExitOutputFailed : ExitOk;
}

std::vector<std::string> UsageLines() {
  const std::string w = "w" + Ident.ProgramName;
  const std::string e = Ident.DataExtension;
  return {Ident.ProductName + " Command Line Mode",
          "",
          w + " Filename [/I] [/CADi:j] [/NOGUI]",
          "",
          "/I       -> TXT file",
          "",
          "/CADi:j  -> CAD File",
          "            i: 1=DXF, 2=IGS, 5=TXT",
          "            j: index (1,2,3, ..)",
          "",
          "",
          "",
          "",
          "",
          "/?       -> Help",
          "",
          "",
          "Example: w" + Ident.ProgramName + " test." + e + "             ->  GUI",
          "Example: w" + Ident.ProgramName + " test." + e + " /I /NOGUI   ->  test.txt",
          "Example: w" + Ident.ProgramName + " test." + e + " /CAD1:1     ->  test.dxf",
          "Example: w" + Ident.ProgramName + " test.edi /E /NOGUI   ->  test.edi"};
}

int RunWithoutWindow(const std::string& noScreen) {
  try {
    PrepareStart(ScreenMetrics{});
  } catch (...) {
    ReportStepException("beim Lesen der Einstellungen");
    return ExitOutputFailed;
  }
  const CommandLineChoice c = ParseCommandLine(ProgramParams());
  // Without a screen the usage goes to the standard output, and a drawing without its device
  // (asked for where there is a screen) cannot be made.
  if (c.Mode == StartMode::Usage) {
    for (const std::string& line : UsageLines()) std::cout << line << '\n';
    std::cout.flush();
    ReleaseDrawDevice();
    return ExitOk;
  }
  if (AsksForCadDevice(c)) {
    ErrorBox(c.Switch + ": " + "kein CAD-Gerät angegeben (1=DXF, 2=IGS, 5=TXT); ohne Bildschirm " +
             "keine Auswahl, keine Ausgabe !");
    ReleaseDrawDevice();
    return ExitOutputFailed;
  }
  const bool endsWithoutWindow =
      IsBatchMode(c.Mode) || (c.Mode == StartMode::WindowWithFile && c.MissingExtension);
  std::optional<int> status;
  try {
    if (endsWithoutWindow) status = ProgramStart();
  } catch (...) {
    ReportStepException("beim Start");
    status = ExitOutputFailed;
  }
  ReleaseDrawDevice();
  if (status) return *status;
  if (!noScreen.empty()) {
    std::cerr << "wqern: " << noScreen << "; no window can be shown" << std::endl;
    return ExitNoDisplay;
  }
  std::cerr << "wqern: no display to show the window on (set DISPLAY, or run a listing: wqern "
               "<file>.qrk /I)"
            << std::endl;
  return ExitNoDisplay;
}

void ReportStepException(const std::string& doing) {
  // What was not complete is dropped: the files it would have replaced stay as they were.
  DataFile.Close();
  SwapCadBackEnd(nullptr);
  Flags.AbortFlag = true;
  const std::string at = doing.empty() ? std::string() : " " + doing;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    ErrorBox("Nicht genügend Speicher" + at + " !");
  } catch (const std::length_error&) {  // a text or list beyond any size memory holds
    ErrorBox("Nicht genügend Speicher" + at + " !");
  } catch (const std::exception& e) {
    ErrorBox("Fehler" + at + ": " + e.what() + " !");
  } catch (...) {
    ErrorBox("Fehler" + at + " !");
  }
}

bool HeadlessRun() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  std::string platform = set("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
  platform = platform.substr(0, platform.find(':'));  // options follow a ":"
  if (platform == "offscreen" || platform == "minimal") return true;
  if (platform == "xcb") return !set("DISPLAY");
  if (platform.rfind("wayland", 0) == 0) return !set("WAYLAND_DISPLAY");
  if (!platform.empty()) return false;  // a platform of its own (frame buffer, VNC)
  return !set("DISPLAY") && !set("WAYLAND_DISPLAY");
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace qern
