// Help pictures and their catalogue: drawing a picture by name, the catalogue file with its
// quoted fields, the menu loop behind the help-picture window and the raw HP-GL/2 printout.
#include "framework/whbild.h"

#include <algorithm>

#include "framework/dialogs.h"
#include "framework/hbild.h"
#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"
#include "platform/printerport.h"

namespace qern {

const std::vector<std::string> HelpPictureCommands = {
    "-----  Erweitern  -----", "-----  Löschen  -----", "-----  Ändern  ------",
    "-----  Einfügen ------", "-----  HP-GL/2 drucken/plotten  ------"};

namespace {

constexpr int CommandExtend = 1, CommandDelete = 2, CommandChange = 3, CommandInsert = 4,
              CommandPrint = 5;
constexpr int MaxDescriptionChars = 80;
constexpr int MaxFileNameChars = 64;

HelpPictureWindow& Window() {
  static HelpPictureWindow window;
  return window;
}

std::string CatalogueFileName() { return LowerStr(Ident.ProgramName) + ".dbh"; }

std::string QuoteFree(const std::string& s) {
  std::string r = s;
  std::replace(r.begin(), r.end(), '"', '\'');
  return r;
}

// The entry the window's buttons stand for: extend, delete, change and insert are the first
// four command entries after the listed pictures.
int EntryOfAction(int action, int selected, int pictures) {
  switch (action) {
    case 1: return pictures + CommandExtend;
    case 3: return pictures + CommandDelete;
    case 9: return pictures + CommandChange;
    case 2: return pictures + CommandInsert;
    default: return selected;
  }
}

// A picture file from the open dialog in the PLT folder and its description; false on cancel.
bool AskNewEntry(HelpPictureEntry& entry) {
  std::string folder = Settings.PltFolder, name;
  SelectFileDialog(0, folder, "*.plt", name);
  if (Flags.AbortFlag) return false;
  entry.File = FileNameWithoutExt(FileNamePart(name));
  entry.Description.clear();
  InputString("Information zum Hilfebild", MaxDescriptionChars, entry.Description);
  return !Flags.AbortFlag;
}

// One of the listed pictures (index 1-based into the catalogue); false on cancel.
bool ChoosePicture(const std::string& title, int pictures, int& index) {
  if (pictures == 0) return false;
  index = std::clamp(index, 1, pictures);
  SelectChoice(title, pictures, index);
  return !Flags.AbortFlag;
}

// Runs one catalogue command; picture is the preset line (1-based) and, after a change, the
// line to select. True when the catalogue was rewritten.
bool CatalogueCommand(int command, std::vector<HelpPictureEntry>& catalogue, int pictures,
                      int& picture) {
  int index = picture;
  HelpPictureEntry entry;
  switch (command) {
    case CommandExtend:
      if (!AskNewEntry(entry)) return false;
      catalogue.push_back(entry);
      index = static_cast<int>(catalogue.size());
      break;
    case CommandDelete:
      if (!ChoosePicture("Zu löschende Zeile wählen...", pictures, index)) return false;
      if (!ConfirmBox("Löschen ?")) return false;
      catalogue.erase(catalogue.begin() + (index - 1));
      index = std::max(1, index - 1);
      break;
    case CommandChange:
      if (!ChoosePicture("Zu ändernde Zeile wählen...", pictures, index)) return false;
      entry = catalogue[index - 1];
      InputString("Dateiname (ohne Endung .plt)", MaxFileNameChars, entry.File);
      if (Flags.AbortFlag) return false;
      InputString("Information zum Hilfebild", MaxDescriptionChars, entry.Description);
      if (Flags.AbortFlag) return false;
      catalogue[index - 1] = entry;
      break;
    case CommandInsert:
      if (!ChoosePicture("Vor welche Zeile einfügen ?", pictures, index)) return false;
      if (!AskNewEntry(entry)) return false;
      catalogue.insert(catalogue.begin() + (index - 1), entry);
      break;
    case CommandPrint: {
      if (!ChoosePicture("Welches Bild ausdrucken ?", pictures, index)) return false;
      int32_t port = 1;
      InputNumberInRange("Druckerschnittstelle (max = " + IntStr(HighestHelpPicturePort) +
                             ", default=1)",
                         port, 1, HighestHelpPicturePort);
      if (Flags.AbortFlag) return false;
      bool prefix = true;
      AskYesNo("Steuersequenz für HP-GL/2-Laserdrucker vorausschicken ?", prefix);
      if (Flags.AbortFlag) return false;
      ShowWorkingMessage("Hilfebild wird ausgegeben ..");
      PrintHelpPicture(HelpPictureFileName(catalogue[index - 1].File), port, prefix);
      return false;
    }
    default:
      return false;
  }
  if (!WriteHelpPictureCatalogue(catalogue)) return false;
  picture = index;
  return true;
}

}  // namespace

std::string HelpPictureCatalogueName() {
  return ProgramDataFile(Settings.PltFolder, CatalogueFileName());
}

std::string HelpPictureFileName(const std::string& name) {
  return ProgramDataFile(Settings.PltFolder, name + ".plt");
}

void ReadDbhField(const std::string& line, std::size_t& pos, std::string& s) {
  s.clear();
  if (pos < line.size() && line[pos] == ',') ++pos;
  if (pos >= line.size()) return;
  if (line[pos++] != '"') ErrorMessage("DBH file error");
  const std::size_t close = line.find('"', pos);
  const std::size_t end = close == std::string::npos ? line.size() : close;
  s = line.substr(pos, end - pos);
  pos = close == std::string::npos ? line.size() : close + 1;
}

std::string DbhLine(const std::string& file, const std::string& description) {
  return "\"" + QuoteFree(file) + "\",\"" + QuoteFree(description) + "\"";
}

std::vector<HelpPictureEntry> ReadHelpPictureCatalogue() {
  std::vector<HelpPictureEntry> entries;
  TextFile f;
  f.Assign(HelpPictureCatalogueName());
  if (!f.Reset()) return entries;
  std::string line;
  while (!f.Eof() && f.ReadLine(line)) {
    if (TrimBlanks(line).empty()) continue;
    HelpPictureEntry e;
    std::size_t pos = 0;
    ReadDbhField(line, pos, e.File);
    ReadDbhField(line, pos, e.Description);
    entries.push_back(e);
  }
  f.Close();
  return entries;
}

bool WriteHelpPictureCatalogue(const std::vector<HelpPictureEntry>& entries) {
  const std::string target = AddBackslash(Settings.PltFolder) + CatalogueFileName();
  std::vector<std::string> lines;
  for (const HelpPictureEntry& e : entries) lines.push_back(DbhLine(e.File, e.Description));
  int io = IoOk;
  const bool ok = ReplaceFileWithLines(target, lines, LegacyCodePage::Ansi1252, &io);
  if (!ok) {
    ErrorMessage("Datei " + target + " " + "kann nicht gespeichert werden: " +
                 FileIoErrorText(io != IoOk ? io : IoWriteError, target) + " !");
    Flags.AbortFlag = true;
  }
  return ok;
}

int FillHelpPictureList(const std::vector<HelpPictureEntry>& entries) {
  const int pictures = std::min<int>(static_cast<int>(entries.size()), MaxListedHelpPictures);
  for (int i = 0; i < pictures; ++i) {
    // Padded to 8 but never cut: the list shows the whole name.
    std::string file = entries[i].File;
    if (Utf8Length(file) < 8) file = AlignLeft(file, 8);
    Session.ChoiceTexts[i] = file + ": " + entries[i].Description;
  }
  for (std::size_t k = 0; k < HelpPictureCommands.size(); ++k)
    Session.ChoiceTexts[pictures + k] = HelpPictureCommands[k];
  return pictures;
}

void DrawHelpPictureFile(const std::string& plotFile) {
  if (!DrawDevice) return;
  // Cleared first: the world box must stay in the list it starts.
  DrawDevice->ClearDevice();
  DrawDevice->Header(0, 0, 0, 160, 120);
  if (!plotFile.empty()) ShowPlotFile(plotFile);
}

bool DrawHelpPictureApart(const std::string& plotFile, HelpPictureDrawing& picture) {
  if (!DrawDevice) return false;
  // Checked before anything is cleared: the message's wait must not show a blank window.
  Flags.AbortFlag = false;
  DrawDevice->CheckFileExists(plotFile);
  if (Flags.AbortFlag) return false;
  KeptDrawing kept;
  DrawHelpPictureFile(plotFile);
  picture.Records = std::move(DisplayList);
  picture.Mapping = Graph;
  const int margin = 4;
  const int left = std::max(0, std::min(MapX(Graph.WorldXMin), MapX(Graph.WorldXMax)) - margin);
  const int top = std::max(0, std::min(MapY(Graph.WorldYMin), MapY(Graph.WorldYMax)) - margin);
  const int right = std::min(DrawingWidth(), std::max(MapX(Graph.WorldXMin), MapX(Graph.WorldXMax)) + margin);
  const int bottom = std::min(DrawingHeight(), std::max(MapY(Graph.WorldYMin), MapY(Graph.WorldYMax)) + margin);
  picture.BoxLeft = left;
  picture.BoxTop = top;
  picture.BoxWidth = std::max(1, right - left + 1);
  picture.BoxHeight = std::max(1, bottom - top + 1);
  return true;
}

double SmallestTextHeight(const HelpPictureDrawing& picture) {
  // Capitals are as high as the text style's height; the replay makes the cell 1.6 times that.
  double smallest = 0, height = 0;
  for (const DisplayRecord& r : picture.Records) {
    if (r.Code == RecTextStyle) height = r.Args[0] * static_cast<double>(Settings.GraphicTextHeightFactor);
    if (r.Code != RecText || height <= 0 || r.Text.empty()) continue;
    const double px = height * static_cast<double>(picture.Mapping.ScaleY);
    if (smallest == 0 || px < smallest) smallest = px;
  }
  return smallest;
}

void ShowHelpPicture(const std::string& name) {
  Flags.PrintPreset = 1;
  DrawHelpPictureFile(HelpPictureFileName(LowerStr(name)));
}

std::string HpglPrefix() { return "\x1B" "E" "\x1B" "%0B"; }
std::string HpglSuffix() { return "\x1B" "%0A" "\x1B" "E"; }

void PrintHelpPicture(const std::string& plotFile, int port, bool withPrefix) {
  std::string picture;
  if (!ReadPlotFileBytes(plotFile, picture)) {
    ErrorMessage(WithoutBlanks(plotFile) + " " + "nicht gefunden" + " !");
    Flags.AbortFlag = true;
    return;
  }
  const std::string job =
      withPrefix ? HpglPrefix() + picture + HpglSuffix() : picture;
  std::string error;
  if (!SendRawToPrinterPort(port, job, Settings.TempFolder, error)) {
    ErrorMessage(error);
    Flags.AbortFlag = true;
  }
}

void SetHelpPictureWindow(HelpPictureWindow window) { Window() = std::move(window); }

void HelpPictureMenu() {
  std::vector<HelpPictureEntry> catalogue = ReadHelpPictureCatalogue();
  int pictures = FillHelpPictureList(catalogue);
  int selected = 1;
  int picture = 1;  // the picture the catalogue commands start from
  for (;;) {
    SetHelpNumber(2300);
    const int count = pictures + static_cast<int>(HelpPictureCommands.size());
    if (!Window()) return;
    const HelpPictureWindowAnswer answer = Window()(count, std::clamp(selected, 1, count));
    if (answer.Finished) {
      Flags.AbortFlag = true;
      return;
    }
    Flags.AbortFlag = false;
    selected = std::clamp(EntryOfAction(answer.Action, answer.Selected, pictures), 1, count);
    if (selected <= pictures) {
      picture = selected;
      DrawHelpPictureFile(HelpPictureFileName(catalogue[picture - 1].File));
      continue;
    }
    if (CatalogueCommand(selected - pictures, catalogue, pictures, picture)) {
      // Read back, so the list shows what the file now holds.
      catalogue = ReadHelpPictureCatalogue();
      pictures = FillHelpPictureList(catalogue);
      selected = picture = std::clamp(picture, 1, std::max(1, pictures));
    }
    Flags.AbortFlag = false;
  }
}

}  // namespace qern
